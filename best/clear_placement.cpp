// Where a ChoiceEncoder stream clears its dictionary: the cheapest chain of blocks, each coded
// from an empty dictionary, over a coarse grid of candidate places, each clear of it then moved
// to a finer place nearby where that pays.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "best/lzw_choice_compressor.h"
#include "best/lzw_encoder_choices.h"
#include "gif/lzw_code_packer.h"
#include "raster/work_pool.h"

namespace lumatrim::lzw_choices {

namespace {

constexpr uint64_t kUnreached = UINT64_MAX;

FullDictionary WhenFull(bool keepFull) {
  return keepFull ? FullDictionary::kKeepCoding : FullDictionary::kClear;
}

}  // namespace

size_t ChoiceEncoder::GridSpacingFor(size_t pixels) {
  size_t spacing = kGridSpacing;
  while (spacing > kFinestGrid && pixels < kPlacesWanted * spacing) spacing /= 2;
  return spacing;
}

uint64_t ChoiceEncoder::BlockBits(const Image& image, size_t from, std::span<const size_t> ends,
                                  std::vector<uint64_t>& bits, size_t reachPerFill) {
  std::vector<size_t> marks;
  marks.reserve(ends.size());
  for (size_t end : ends) marks.push_back(end - from);
  bits.clear();
  const size_t length = ends.back() - from;
  BorrowedTrie trie(*this);
  Compressor compressor(
      trie->children, trie->links, image.minimumCodeSize, image.pixels.subspan(from, length),
      image.alternatives.subspan(from, length), nullptr, WhenFull(image.keepFull));
  compressor.Measure(marks, bits, reachPerFill);
  compressor.Run();
  return bits.size() == ends.size() ? bits.back() : kUnreached;
}

std::vector<size_t> ChoiceEncoder::CheapestClears(const Image& image) {
  const size_t n = image.pixels.size();
  std::vector<size_t> places;
  const size_t spacing = GridSpacingFor(n);
  for (size_t at = 0; at < n; at += spacing) places.push_back(at);
  places.push_back(n);
  const size_t m = places.size() - 1;
  // best[j]: the fewest bits that cover the pixels up to places[j], a clear after them
  // included; from[j]: where the last block of that chain starts.
  std::vector<uint64_t> best(m + 1, kUnreached);
  std::vector<size_t> from(m + 1, 0);
  best[0] = 0;
  // The blocks from every place, measured at once: a block's bits do not depend on the chain
  // before it. (Every place is reached: the block from the one before always reaches it.)
  std::vector<std::vector<uint64_t>> blocks(m);
  ParallelFor(image.workers, m, [&](size_t i) {
    const size_t last = std::min(m, i + kReach);
    BlockBits(image, places[i], std::span<const size_t>(places).subspan(i + 1, last - i), blocks[i],
              kReachPerFill);
  });
  for (size_t i = 0; i < m; ++i) {
    if (best[i] == kUnreached) continue;
    const std::vector<uint64_t>& bits = blocks[i];
    for (size_t k = 0; k < bits.size(); ++k) {
      const size_t j = i + 1 + k;
      if (best[i] + bits[k] < best[j]) {
        best[j] = best[i] + bits[k];
        from[j] = i;
      }
    }
  }
  std::vector<size_t> clears;
  for (size_t j = m; j > 0; j = from[j]) {
    if (from[j] > 0) clears.push_back(places[from[j]]);
  }
  std::reverse(clears.begin(), clears.end());
  return clears;
}

void ChoiceEncoder::RefineClears(const Image& image, std::vector<size_t>& clears) {
  const size_t n = image.pixels.size();
  std::vector<uint64_t> before;
  std::vector<uint64_t> after[3];
  const size_t coarsest = GridSpacingFor(n) / kRefineBy;
  const size_t finest = std::min(kFinestStep, coarsest);
  for (size_t step = coarsest; step >= finest; step /= kRefineBy) {
    for (size_t t = 0; t < clears.size(); ++t) {
      const size_t start = t > 0 ? clears[t - 1] : 0;
      const size_t end = t + 1 < clears.size() ? clears[t + 1] : n;
      // The clear where it is and one step to either side, where that stays between its
      // neighbours.
      std::vector<size_t> candidates;
      if (clears[t] > start + step) candidates.push_back(clears[t] - step);
      candidates.push_back(clears[t]);
      if (clears[t] + step < end) candidates.push_back(clears[t] + step);
      // The block before the candidates and each block after one, measured at once.
      uint64_t rests[3] = {kUnreached, kUnreached, kUnreached};
      ParallelFor(image.workers, candidates.size() + 1, [&](size_t k) {
        if (k == candidates.size()) {
          BlockBits(image, start, candidates, before);
          return;
        }
        const size_t ends[] = {end};
        rests[k] = BlockBits(image, candidates[k], ends, after[k]);
      });
      uint64_t fewest = kUnreached;
      size_t chosen = clears[t];
      for (size_t c = 0; c < before.size(); ++c) {
        const uint64_t rest = rests[c];
        if (rest != kUnreached && before[c] + rest < fewest) {
          fewest = before[c] + rest;
          chosen = candidates[c];
        }
      }
      clears[t] = chosen;
    }
  }
}

std::vector<uint8_t> ChoiceEncoder::EncodeWithClears(const Image& image,
                                                     std::span<const size_t> clears) {
  std::vector<uint8_t> stream;
  CodePacker writer(stream, kBlockSize);
  BorrowedTrie trie(*this);
  Compressor(trie->children, trie->links, image.minimumCodeSize, image.pixels, image.alternatives,
             &writer, WhenFull(image.keepFull), clears)
      .Run();
  writer.Finish();
  return stream;
}

size_t ChoiceEncoder::EncodeWithPlacedClears(std::vector<uint8_t>& out,
                                             std::span<const uint8_t> pixels,
                                             std::span<const uint8_t> alternatives,
                                             int minimumCodeSize, bool keepFullDictionaries,
                                             WorkPool* workers) {
  std::vector<uint8_t> shortest;
  Encode(shortest, pixels, alternatives, minimumCodeSize);
  if (pixels.size() >= kFewestPlaces * GridSpacingFor(pixels.size())) {
    const Image image{pixels, alternatives, minimumCodeSize, keepFullDictionaries, workers};
    std::vector<size_t> clears = CheapestClears(image);
    RefineClears(image, clears);
    if (!clears.empty() || keepFullDictionaries) {
      std::vector<uint8_t> placed = EncodeWithClears(image, clears);
      if (placed.size() < shortest.size()) shortest.swap(placed);
    }
  }
  out.insert(out.end(), shortest.begin(), shortest.end());
  return shortest.size();
}

}  // namespace lumatrim::lzw_choices
