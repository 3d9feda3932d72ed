// An LZW encoder for GIF image data that may choose, pixel by pixel, between two values that show
// the same picture (a pixel that a transparent one would leave unchanged may be sent either way).
// Its dictionary is a plain trie, so it can ask "does the current string go on with either value"
// in one look each; it picks whichever value carries the current match further.
//
// Its streams are plain GIF: a clear code first, the code width grown the way every decoder grows
// it, and (but where the caller allows coding on against a full dictionary) a clear code as soon
// as the dictionary is full. Sub-blocks hold 255 bytes, the last one fewer.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace lumatrim {
class WorkPool;
}

namespace lumatrim::lzw_choices {

// May be used from several threads at once: each stream or measurement takes a trie of its own
// from the encoder's shelf, and gives it back for the next (a trie for 256 colours takes 2 MiB,
// so the shelf holds one for each thread that encoded at once, and no more).
class ChoiceEncoder {
 public:
  // Appends the data sub-blocks (without the block terminator) of an image whose pixel i may be
  // sent as pixels[i] or as alternatives[i] (equal where there is no choice), in the order given,
  // with LZW minimum code size minimumCodeSize (2 to 8). Every value must lie below
  // 1 << minimumCodeSize. An image without pixels is written as the clear and end codes.
  // Answers the number of bytes appended.
  size_t Encode(std::vector<uint8_t>& out, std::span<const uint8_t> pixels,
                std::span<const uint8_t> alternatives, int minimumCodeSize);

  // Like Encode, but with clear codes placed where they make the stream shorter, and, with
  // keepFullDictionaries, coding on against a full dictionary wherever clearing it does not pay
  // (plain GIF, which some rare decoders mishandle). Blocks between candidate places on a grid
  // are each measured from an empty dictionary, the cheapest chain of blocks is found by dynamic
  // programming, and each of its clears is then moved to a nearby finer place where that pays.
  // Answers the shorter of that and the plain stream. The blocks are measured on workers'
  // threads where given; the stream never depends on how many there are.
  size_t EncodeWithPlacedClears(std::vector<uint8_t>& out, std::span<const uint8_t> pixels,
                                std::span<const uint8_t> alternatives, int minimumCodeSize,
                                bool keepFullDictionaries, WorkPool* workers = nullptr);

 private:
  // Candidate places for a clear lie kGridSpacing pixels apart on the coarse grid; an image of
  // fewer than kPlacesWanted times that gets a finer grid, halved down to kFinestGrid, and an
  // image of fewer than kFewestPlaces places on its grid gets no placed clears. (Small images
  // gain as much from their clears as large ones: on the shared real files, a 12 KB still was
  // 6% smaller on its finer grid.)
  static constexpr size_t kGridSpacing = 4096;
  static constexpr size_t kPlacesWanted = 16;
  static constexpr size_t kFinestGrid = 128;
  static constexpr size_t kFewestPlaces = 4;
  // A measured block reaches at most kReach places, and no further than kReachPerFill times
  // the pixels it took to fill its dictionary: longer blocks seldom paid where measured.
  static constexpr size_t kReach = 128;
  static constexpr size_t kReachPerFill = 5;
  // Each clear of the coarse chain is then tried a step to either side, the step shrinking by
  // kRefineBy down to kFinestStep pixels.
  static constexpr size_t kRefineBy = 4;
  static constexpr size_t kFinestStep = 256;

  // The grid's spacing for an image of this many pixels.
  static size_t GridSpacingFor(size_t pixels);

  struct Image {
    std::span<const uint8_t> pixels;
    std::span<const uint8_t> alternatives;
    int minimumCodeSize;
    bool keepFull;
    WorkPool* workers;
  };
  // A trie's links, all zero between uses, and where it holds links during one.
  struct Trie {
    std::vector<int16_t> children;
    std::vector<uint32_t> links;
  };
  // A trie of the shelf for one stream or measurement on any thread, given back when it ends.
  class BorrowedTrie;

  // The bits of coding image from pixel `from` on from an empty dictionary, up to each of ends
  // (ascending, a clear code after each included), into bits; answers the last, or kUnreached
  // when the block stopped short of it (reachPerFill, as above; 0 for no limit).
  uint64_t BlockBits(const Image& image, size_t from, std::span<const size_t> ends,
                     std::vector<uint64_t>& bits, size_t reachPerFill = 0);
  // The cheapest clears among the grid places, in ascending order.
  std::vector<size_t> CheapestClears(const Image& image);
  // Moves each clear to a nearby finer place where that makes its two blocks shorter.
  void RefineClears(const Image& image, std::vector<size_t>& clears);
  // One stream with the given clears.
  std::vector<uint8_t> EncodeWithClears(const Image& image, std::span<const size_t> clears);

  // Tries not in use: a document's frames reuse them.
  std::mutex shelfMutex_;
  std::vector<std::unique_ptr<Trie>> shelf_;
};

class ChoiceEncoder::BorrowedTrie {
 public:
  explicit BorrowedTrie(ChoiceEncoder& encoder) : encoder_(encoder) {
    const std::lock_guard lock(encoder_.shelfMutex_);
    if (encoder_.shelf_.empty()) {
      trie_ = std::make_unique<Trie>();
      // Room on the shelf for every trie made, so that giving one back never allocates.
      encoder_.shelf_.reserve(encoder_.shelf_.capacity() + 1);
    } else {
      trie_ = std::move(encoder_.shelf_.back());
      encoder_.shelf_.pop_back();
    }
  }
  ~BorrowedTrie() {
    const std::lock_guard lock(encoder_.shelfMutex_);
    encoder_.shelf_.push_back(std::move(trie_));
  }
  BorrowedTrie(const BorrowedTrie&) = delete;
  BorrowedTrie& operator=(const BorrowedTrie&) = delete;

  Trie* operator->() { return trie_.get(); }

 private:
  ChoiceEncoder& encoder_;
  std::unique_ptr<Trie> trie_;
};

int SmallestCodeSize(std::span<const uint8_t> values);

}  // namespace lumatrim::lzw_choices
