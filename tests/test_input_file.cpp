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

  // The default reduction lets the input go once loaded, and makes the same bytes.
  cGIF doc;
  const ReducedBytes kept = ReduceBytes(doc, original, {});
  const ReducedBytes letGo = ReduceBytesLettingInputGo(doc, read->bytes, {});
  EXPECT_TRUE(read->bytes.empty());
  EXPECT_EQ(letGo.bytes, kept.bytes);
  // --best still needs it.
  std::vector<uint8_t> forBest = original;
  ReductionOptions best;
  best.best = true;
  EXPECT_EQ(ReduceBytesLettingInputGo(doc, forBest, best).status, ReductionStatus::Reduced);
  EXPECT_EQ(forBest, original);

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

TEST_F(InputFileTest, ReductionTellsHowFarAFileHasCome) {
  // A long animation: the load, each pass and each frame written move the file on.
  const fs::path input = testing::RealFilesFolder() / "pillow-chi.gif";
  const std::vector<uint8_t> bytes = testing::ReadBytes(input);
  std::vector<double> seen;
  ReductionOptions options;
  options.progress = [&](double f) { seen.push_back(f); };
  cGIF doc;
  ASSERT_EQ(ReduceBytes(doc, bytes, options).status, ReductionStatus::Reduced);
  ASSERT_GE(doc.FramesCount(), 2);
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 1.0);
  const auto within = [&](double low, double high) {
    return std::count_if(seen.begin(), seen.end(), [&](double f) { return f > low && f < high; });
  };
  EXPECT_GE(within(0, kLoadShare), 1);                                            // the load
  EXPECT_GE(within(kLoadShare, kLoadShare + kPassesShare + 1e-9), 5);             // the passes
  EXPECT_GE(within(kLoadShare + kPassesShare + 1e-9, 1), doc.FramesCount() - 1);  // the save
}

}  // namespace
}  // namespace lumatrim
