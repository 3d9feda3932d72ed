// Reading inputs: only regular files, never waiting on a pipe; a file that changes while it is
// read says so, and the per-file routine passes that on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "corpus.h"
#include "files.h"
#include "files/input_file.h"
#include "gif/gif_document.h"
#include "reduction/reduce_file.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;

class InputFileTest : public ::testing::Test {
 protected:
  testing::TempFolder folder_{"input-file"};
};

TEST_F(InputFileTest, OnlyRegularFilesAreOpenedAndAPipeNeverWaits) {
  const fs::path pipe = folder_ / "pipe.gif";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);  // no writer: a blocking open would wait for ever
  Result<InputFile> opened = InputFile::Open(pipe.string());
  EXPECT_FALSE(opened);
  EXPECT_EQ(opened.reason(), "not a regular file");
  opened = InputFile::Open(folder_.path().string());
  EXPECT_EQ(opened.reason(), "not a regular file");
  opened = InputFile::Open((folder_ / "gone.gif").string());
  EXPECT_EQ(opened.reason(), "No such file or directory");
}

TEST_F(InputFileTest, AFileCutShortWhileReadSaysSo) {
  const fs::path input = folder_ / "cut.gif";
  fs::copy_file(testing::RealFilesFolder() / "pillow-chi.gif", input);
  Result<InputFile> file = InputFile::Open(input.string());
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->ChangedSinceOpened());
  // Another program truncates the file after it was opened.
  fs::resize_file(input, 1000);
  const Result<GifFileBytes> read = ReadGifFile(*file, 1 << 30);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->bytes.size(), 1000u);
  EXPECT_TRUE(read->changedWhileRead);

  // Read whole, it is not changed.
  const Result<GifFileBytes> again = ReadGifFile(input.string(), 1 << 30);
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->changedWhileRead);
}

TEST_F(InputFileTest, ReduceBytesMakesWhatReduceFileWrites) {
  const fs::path input = testing::RealFilesFolder() / "pillow-chi.gif";
  cGIF doc;
  const ReductionResult written = ReduceFile(doc, input.string(), folder_.path().string(), {});
  ASSERT_EQ(written.status, ReductionStatus::Reduced);
  const std::vector<uint8_t> bytes = testing::ReadBytes(input);
  EXPECT_EQ(written.bytesIn, bytes.size());
  const ReducedBytes reduced = ReduceBytes(doc, bytes, {});
  ASSERT_EQ(reduced.status, ReductionStatus::Reduced);
  EXPECT_EQ(reduced.bytes, testing::ReadBytes(written.outputPath));
  EXPECT_EQ(written.bytesOut, reduced.bytes.size());

  // A refusal comes after the load: a GIF is refused for its output, anything else as not a GIF.
  EXPECT_EQ(ReduceBytes(doc, bytes, {}, "no room").status, ReductionStatus::NotSaved);
  const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
  const ReducedBytes notGif = ReduceBytes(doc, text, {}, "no room");
  EXPECT_EQ(notGif.status, ReductionStatus::NotLoaded);
  EXPECT_EQ(notGif.reason, "not a GIF file");
  EXPECT_EQ(ReduceBytes(doc, {}, {}).reason, "the file is empty");
}

TEST_F(InputFileTest, AnInputLetGoIsReadAgainOnlyAsItWas) {
  const fs::path input = folder_ / "again.gif";
  fs::copy_file(testing::RealFilesFolder() / "pillow-chi.gif", input);
  Result<InputFile> file = InputFile::Open(input.string());
  ASSERT_TRUE(file);
  Result<GifFileBytes> read = ReadGifFile(*file, 1 << 30);
  ASSERT_TRUE(read);
  const std::vector<uint8_t> original = read->bytes;

  // Reduced from the open file, by default and with --best, it makes the same bytes as from
  // its bytes in memory, and holds none of them after.
  for (const bool best : {false, true}) {
    ReductionOptions options;
    options.best = best;
    cGIF fromBytes, fromFile;
    const ReducedBytes whole = ReduceBytes(fromBytes, original, options);
    Result<InputFile> reopened = InputFile::Open(input.string());
    ASSERT_TRUE(reopened);
    const ReducedBytes piecewise = ReduceOpenFile(fromFile, *reopened, options);
    EXPECT_EQ(piecewise.bytes, whole.bytes) << best;
    EXPECT_EQ(piecewise.note, whole.note) << best;
    EXPECT_EQ(piecewise.bytesRead, original.size()) << best;
    EXPECT_FALSE(piecewise.inputChanged);
  }

  std::vector<uint8_t> again;
  ASSERT_TRUE(file->ReadAgain(again));
  EXPECT_EQ(again, original);
  // Changed by another program since: the bytes are not those reduced.
  std::ofstream(input, std::ios::app) << "more";
  const Status changed = file->ReadAgain(again);
  EXPECT_FALSE(changed);
  EXPECT_EQ(changed.reason(), "the file changed while it was reduced");
  EXPECT_TRUE(again.empty());
}

// --best weighs its output against fresh copies loaded from the file again: a file another
// program rewrote meanwhile is not one of them, however small it is.
TEST_F(InputFileTest, BestNeverWeighsItsOutputAgainstAFileRewrittenMeanwhile) {
  const fs::path input = folder_ / "rewritten.gif";
  fs::copy_file(testing::RealFilesFolder() / "pillow-chi.gif", input);
  const std::vector<uint8_t> tiny =
      testing::ReadBytes(testing::RealFilesFolder() / "pillow-no_palette.gif");
  ReductionOptions options;
  options.best = true;
  bool rewritten = false;
  // Rewritten while its own output is made, after the load.
  options.progress = [&](double f) {
    if (f <= kLoadShare || f >= 1 || rewritten) return;
    rewritten = true;
    std::ofstream(input, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(tiny.data()), std::streamsize(tiny.size()));
  };
  Result<InputFile> file = InputFile::Open(input.string());
  ASSERT_TRUE(file);
  cGIF doc;
  const ReducedBytes reduced = ReduceOpenFile(doc, *file, options);
  ASSERT_TRUE(rewritten);
  ASSERT_EQ(reduced.status, ReductionStatus::Reduced);
  EXPECT_TRUE(reduced.inputChanged);
  cGIF original, output;
  ASSERT_TRUE(original.LoadFromFile((testing::RealFilesFolder() / "pillow-chi.gif").string()));
  ASSERT_TRUE(output.LoadFromStream(reduced.bytes));
  EXPECT_EQ(output.ScreenWidth(), original.ScreenWidth());
  EXPECT_EQ(output.ScreenHeight(), original.ScreenHeight());
}

// Read a piece at a time, every file loads as it does whole, whatever the pieces: blocks, colour
// tables and sub-block chains cut at any byte, files cut short and damaged files included.
TEST_F(InputFileTest, AFileReadInPiecesLoadsAsWhenReadWhole) {
  std::vector<fs::path> files = testing::RealFiles();
  for (const char* folder : {"conformance", "crashers"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(LUMATRIM_TEST_DATA) / folder)) {
      if (entry.path().extension() == ".gif") files.push_back(entry.path());
    }
  }
  const auto saved = [](cGIF& doc) {
    std::vector<uint8_t> out;
    doc.SaveToMemoryLettingFramesGo(out);
    return out;
  };
  for (const fs::path& path : files) {
    const std::vector<uint8_t> bytes = testing::ReadBytes(path);
    cGIF whole;
    const bool loaded = whole.LoadFromStream(bytes);
    const std::vector<uint8_t> wholeSaved = loaded ? saved(whole) : std::vector<uint8_t>();
    // One byte a read costs a call each: only small files are read that way.
    for (const uint64_t piece : {uint64_t(1), uint64_t(7), uint64_t(4096), cGIF::kReadPieceBytes}) {
      if (piece == 1 && bytes.size() > 65536) continue;
      Result<InputFile> file = InputFile::Open(path.string());
      ASSERT_TRUE(file);
      cGIF piecewise;
      ASSERT_EQ(piecewise.LoadFromOpenFile(*file, piece), loaded) << path << " " << piece;
      EXPECT_EQ(piecewise.LoadError(), whole.LoadError()) << path << " " << piece;
      EXPECT_EQ(piecewise.LoadNote(), whole.LoadNote()) << path << " " << piece;
      if (loaded) {
        EXPECT_EQ(saved(piecewise), wholeSaved) << path << " " << piece;
      }
    }
  }

  // Larger than the budget: refused unread, as a whole read refuses it.
  Result<InputFile> file =
      InputFile::Open((testing::RealFilesFolder() / "pillow-chi.gif").string());
  ASSERT_TRUE(file);
  cGIF small;
  small.MemoryBudget(1000);
  EXPECT_FALSE(small.LoadFromOpenFile(*file));
  EXPECT_EQ(small.LoadError(), "over the memory budget: the file alone is 0 MiB");
}

TEST_F(InputFileTest, ReductionTellsHowFarAFileHasCome) {
  // A long animation: the load, each pass and each frame written move the file on, by default
  // and with --best.
  const fs::path input = testing::RealFilesFolder() / "pillow-chi.gif";
  const std::vector<uint8_t> bytes = testing::ReadBytes(input);
  for (const bool best : {false, true}) {
    std::vector<double> seen;
    ReductionOptions options;
    options.best = best;
    options.progress = [&](double f) { seen.push_back(f); };
    cGIF doc;
    ASSERT_EQ(ReduceBytes(doc, bytes, options).status, ReductionStatus::Reduced);
    ASSERT_GE(doc.FramesCount(), 2);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << best;
    EXPECT_EQ(seen.back(), 1.0);
    const auto within = [&](double low, double high) {
      return std::count_if(seen.begin(), seen.end(), [&](double f) { return f > low && f < high; });
    };
    constexpr double kSaveStarts = kLoadShare + kPassesShare + 1e-9;
    EXPECT_GE(within(0, kLoadShare), 1) << best;  // the load
    if (!best) {
      EXPECT_GE(within(kLoadShare, kSaveStarts), 5);  // the passes
    }
    EXPECT_GE(within(kSaveStarts, 1), doc.FramesCount() - 1) << best;  // the save
  }
}

}  // namespace
}  // namespace lumatrim
