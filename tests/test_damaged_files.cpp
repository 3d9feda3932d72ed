// Damaged files: what a load of a file cut short, or of frames whose data stops early, says and
// holds; that such frames cost no more than their data and their part of the screen; what the
// command line reports of them; and --best kept within the memory budget.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "animation_docs.h"
#include "cli/reduce_batch.h"
#include "files.h"
#include "gif/frame_extent.h"
#include "gif/frame_numbers.h"
#include "gif/gif_document.h"
#include "gif_bytes.h"
#include "reduction/reduce_file.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// Two 4 x 4 frames of pixels 1 and 2 on a 4 x 4 screen, with the trailer.
Bytes TwoFrames() {
  Bytes file = Header(4, 4, 0x81);
  ColorTable(file, 4);
  Image(file, 0, 0, 4, 4, 0, UncompressedCodes(Bytes(16, 1)));
  Image(file, 0, 0, 4, 4, 0, UncompressedCodes(Bytes(16, 2)));
  file.push_back(0x3B);
  return file;
}

TEST(DamagedFilesTest, AWholeFileHasNoDamage) {
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(TwoFrames()));
  EXPECT_FALSE(gif.Damage().endsEarly);
  EXPECT_TRUE(gif.Damage().framesEndedEarly.empty());
  EXPECT_TRUE(gif.LoadNote().empty());
}

TEST(DamagedFilesTest, AFileCutShortSaysWhere) {
  const Bytes whole = TwoFrames();
  cGIF gif;
  // Without its trailer only.
  ASSERT_TRUE(gif.LoadFromStream(Bytes(whole.begin(), whole.end() - 1)));
  EXPECT_TRUE(gif.Damage().endsEarly);
  EXPECT_EQ(gif.Damage().endsInFrame, 0);
  EXPECT_EQ(gif.LoadNote(), "the file ends early, before its trailer");
  // In the middle of the second frame's data.
  ASSERT_TRUE(gif.LoadFromStream(Bytes(whole.begin(), whole.end() - 8)));
  EXPECT_TRUE(gif.Damage().endsEarly);
  EXPECT_EQ(gif.Damage().endsInFrame, 2);
  EXPECT_EQ(gif.Damage().framesEndedEarly, std::vector<int16_t>{2});
  EXPECT_EQ(gif.LoadNote(), "the file ends early, in frame 2");
  // A load after that starts afresh.
  ASSERT_TRUE(gif.LoadFromStream(whole));
  EXPECT_FALSE(gif.Damage().endsEarly);
  EXPECT_TRUE(gif.LoadNote().empty());
}

TEST(DamagedFilesTest, FramesWhoseDataStopsEarlySaySoAndWhy) {
  Bytes file = Header(4, 4, 0x81);
  ColorTable(file, 4);
  // An end code after 5 pixels.
  Image(file, 0, 0, 4, 4, 0, UncompressedCodes(Bytes(5, 1)));
  // A code the table does not hold yet (7, with next free code 6) after pixel 2.
  Image(file, 0, 0, 4, 4, 0, PackCodes({{4, 3}, {2, 3}, {7, 3}, {1, 3}, {5, 3}}));
  Image(file, 0, 0, 4, 4, 0, UncompressedCodes(Bytes(16, 3)));
  file.push_back(0x3B);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  EXPECT_FALSE(gif.Damage().endsEarly);
  EXPECT_EQ(gif.Damage().framesEndedEarly, std::vector<int16_t>{1});
  EXPECT_EQ(gif.Damage().framesCutAtBadCode, std::vector<int16_t>{2});
  // On the screen, the frames are held whole: the rest of their pixels show index 0.
  EXPECT_TRUE(gif.Damage().framesHeldSmaller.empty());
  EXPECT_EQ(gif.FrameSurfaceWidth(2), 4);
  EXPECT_EQ(gif.FrameDIBXOR(2)->lpBits()[0], 2);
  EXPECT_EQ(gif.FrameDIBXOR(2)->lpBits()[1], 0);
  EXPECT_EQ(gif.LoadNote(),
            "the data of frame 1 ends before the last pixel; frame 2 is cut at a code that can't "
            "be decoded (some decoders read on and show more)");
}

TEST(DamagedFilesTest, HugeFramesWithLittleDataHoldWhatTheirDataAndTheScreenReach) {
  Bytes file = Header(100, 100, 0x81);
  ColorTable(file, 4);
  Image(file, 0, 0, 100, 100, 0, UncompressedCodes(Bytes(10000, 1)));
  // Wholly off the screen, over it, and far too wide for the budget, each with 3 pixels.
  Image(file, 200, 0, 26762, 24101, 0, UncompressedCodes({1, 2, 3}));
  Image(file, 0, 0, 26762, 24101, 0x40, UncompressedCodes({1, 2, 3}));
  Image(file, 0, 50, 65535, 65535, 0, UncompressedCodes({1, 2, 3}));
  file.push_back(0x3B);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  ASSERT_EQ(gif.FramesCount(), 4);
  EXPECT_EQ(gif.FrameSurfaceWidth(2), 3);
  EXPECT_EQ(gif.FrameSurfaceHeight(2), 1);
  EXPECT_EQ(gif.FrameSurfaceWidth(3), 100);
  EXPECT_EQ(gif.FrameSurfaceHeight(3), 100);
  EXPECT_EQ(gif.FrameSurfaceWidth(4), 100);
  EXPECT_EQ(gif.FrameSurfaceHeight(4), 50);
  EXPECT_EQ(gif.Damage().framesHeldSmaller, (std::vector<int16_t>{2, 3, 4}));
  EXPECT_EQ(PixelsOf(gif, 2), (Bytes{1, 2, 3}));
  EXPECT_NE(gif.LoadNote().find("frames 2, 3 and 4 are kept as far as the data and the screen "
                                "reach"),
            std::string::npos)
      << gif.LoadNote();

  // Over a screen as large, the index 0 past the data is left out on the screen too.
  Bytes large = Header(30000, 30000, 0x81);
  ColorTable(large, 4);
  Image(large, 0, 0, 30000, 30000, 0, UncompressedCodes({1, 2, 3}));
  large.push_back(0x3B);
  ASSERT_TRUE(gif.LoadFromStream(large));
  EXPECT_EQ(gif.FrameSurfaceWidth(1), 3);
  EXPECT_EQ(gif.FrameSurfaceHeight(1), 1);
  EXPECT_EQ(gif.Damage().framesHeldShort, std::vector<int16_t>{1});
  EXPECT_NE(gif.LoadNote().find("frame 1 is kept as far as the data reaches"), std::string::npos)
      << gif.LoadNote();

  // The index 0 allowed on the screen is for all frames together: of many damaged frames over
  // a 3000 x 3000 screen, the first is held whole and the next ones as far as their data goes.
  Bytes many = Header(3000, 3000, 0x81);
  ColorTable(many, 4);
  for (int i = 0; i < 4; ++i) Image(many, 0, 0, 3000, 3000, 0, UncompressedCodes({1, 2, 3}));
  many.push_back(0x3B);
  ASSERT_TRUE(gif.LoadFromStream(many));
  ASSERT_EQ(gif.FramesCount(), 4);
  EXPECT_EQ(gif.FrameSurfaceHeight(1), 3000);
  for (int16_t n = 2; n <= 4; ++n) EXPECT_EQ(gif.FrameSurfaceWidth(n), 3) << n;
  EXPECT_EQ(gif.Damage().framesHeldShort, (std::vector<int16_t>{2, 3, 4}));
}

// Every file that once cost far more than its bytes (hand-made: huge frames off the screen or
// over it with little data, damaged code streams, files cut short) now holds no more pixels
// than its data can make, beside a bounded fill of index 0 on the screen for each frame.
TEST(DamagedFilesTest, CrashersHoldNoMoreThanTheirDataAndScreenReach) {
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(LUMATRIM_TEST_DATA) / "crashers")) {
    if (entry.path().extension() != ".gif") continue;
    SCOPED_TRACE(entry.path().filename().string());
    cGIF gif;
    if (!gif.LoadFromFile(entry.path().string())) continue;
    ++files;
    uint64_t held = 0;
    for (int16_t n : AllFrames(gif)) {
      held += uint64_t(gif.FrameSurfaceWidth(n)) * uint64_t(gif.FrameSurfaceHeight(n));
    }
    // A byte of LZW data makes at most a few thousand pixels.
    const uint64_t bytes = fs::file_size(entry.path());
    EXPECT_LE(held, 8192 * bytes + uint64_t(gif.FramesCount()) * kMaxShownFillPixels);
  }
  EXPECT_GT(files, 5);
}

class DamagedFilesCommandTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = folder_.path() / name;
    WriteAll(path, std::string(bytes.begin(), bytes.end()));
    return path.string();
  }

  nlohmann::json RunJson(cli::ReduceSettings settings) {
    std::ostringstream out, err;
    settings.json = true;
    settings.outputFolder = folder_.path().string();
    cli::RunReduce(settings, out, err);
    return nlohmann::json::parse(out.str());
  }

  TempFolder folder_{"damaged"};
};

TEST_F(DamagedFilesCommandTest, ACutShortInputSaysSoInItsNoteAndJson) {
  const Bytes whole = TwoFrames();
  cli::ReduceSettings settings;
  settings.paths = {Write("cut.gif", Bytes(whole.begin(), whole.end() - 8))};
  const nlohmann::json cut = RunJson(settings);
  EXPECT_EQ(cut.value("cut_short", false), true) << cut;
  EXPECT_EQ(cut.value("note", ""), "the file ends early, in frame 2");
  settings.paths = {Write("whole.gif", whole)};
  const nlohmann::json fine = RunJson(settings);
  EXPECT_FALSE(fine.contains("cut_short")) << fine;
  EXPECT_FALSE(fine.contains("note")) << fine;
}

TEST_F(DamagedFilesCommandTest, VerifyOfAFrameCutAtABadCodeSaysItHoldsForThisReading) {
  Bytes file = Header(4, 1, 0x81);
  ColorTable(file, 4);
  Image(file, 0, 0, 4, 1, 0, PackCodes({{4, 3}, {2, 3}, {7, 3}, {1, 3}, {5, 3}}));
  file.push_back(0x3B);
  cli::ReduceSettings settings;
  settings.paths = {Write("bad-code.gif", file)};
  settings.verify = true;
  const nlohmann::json line = RunJson(settings);
  EXPECT_EQ(line.value("verified", false), true) << line;
  EXPECT_NE(line.value("verify_reason", "").find("as the input reads here"), std::string::npos)
      << line;
  EXPECT_NE(line.value("note", "").find("some decoders read on"), std::string::npos) << line;
}

// A frame that alone needs more than the budget is held without pixels; reduced, it would come
// out empty, so the file is refused, whichever frame it is, by default and with --best.
TEST(BestWithinBudgetTest, AFrameOverTheBudgetRefusesTheFileInsteadOfLosingItsPicture) {
  Bytes pixels(600 * 600);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 7 + i / 600) % 4);
  for (const bool bigFirst : {true, false}) {
    Bytes file = Header(600, 600, 0x81);
    ColorTable(file, 4);
    if (!bigFirst) Image(file, 0, 0, 2, 2, 0, UncompressedCodes(Bytes(4, 1)));
    Image(file, 0, 0, 600, 600, 0, UncompressedCodes(pixels));
    if (bigFirst) Image(file, 0, 0, 2, 2, 0, UncompressedCodes(Bytes(4, 1)));
    file.push_back(0x3B);
    for (const bool best : {false, true}) {
      SCOPED_TRACE(std::string(bigFirst ? "large frame first" : "large frame last") +
                   (best ? ", --best" : ""));
      ReductionOptions options;
      options.best = best;
      options.memoryBudget = 256 << 10;  // less than the large frame's 360,000 pixels
      cGIF doc;
      const ReducedBytes reduced = ReduceBytes(doc, file, options);
      EXPECT_EQ(reduced.status, ReductionStatus::NotLoaded);
      EXPECT_EQ(reduced.reason, "over the memory budget: a frame alone needs more than 0 MiB");
      EXPECT_TRUE(reduced.bytes.empty());
      options.memoryBudget = 64 << 20;
      cGIF roomy;
      EXPECT_EQ(ReduceBytes(roomy, file, options).status, ReductionStatus::Reduced);
    }
  }
}

TEST(BestWithinBudgetTest, BestThatCannotWorkWithinTheBudgetReducesAsByDefault) {
  // One 600 x 600 frame of varied pixels.
  Bytes pixels(600 * 600);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 7 + i / 600) % 4);
  Bytes file = Header(600, 600, 0x81);
  ColorTable(file, 4);
  Image(file, 0, 0, 600, 600, 0, UncompressedCodes(pixels));
  file.push_back(0x3B);

  ReductionOptions options;
  options.memoryBudget = 6 << 20;  // room for the frame, the frame cache and little more
  cGIF byDefault;
  const ReducedBytes plain = ReduceBytes(byDefault, file, options);
  ASSERT_EQ(plain.status, ReductionStatus::Reduced);
  options.best = true;
  cGIF tight;
  const ReducedBytes within = ReduceBytes(tight, file, options);
  ASSERT_EQ(within.status, ReductionStatus::Reduced) << within.reason;
  EXPECT_EQ(within.bytes, plain.bytes);
  EXPECT_NE(within.note.find("--best would need about"), std::string::npos) << within.note;
  // With room, --best runs.
  options.memoryBudget = 64 << 20;
  cGIF roomy;
  const ReducedBytes best = ReduceBytes(roomy, file, options);
  ASSERT_EQ(best.status, ReductionStatus::Reduced);
  EXPECT_TRUE(best.note.empty()) << best.note;
  EXPECT_NE(best.bytes, plain.bytes);
}

}  // namespace
}  // namespace lumatrim
