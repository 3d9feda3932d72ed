// The decoder conformance suite of tests/data/conformance: every case is loaded, played as a
// viewer shows it and compared with the suite's expected size, frames, pixels and delays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "corpus.h"
#include "files.h"
#include "gif/gif_document.h"
#include "playback/viewer.h"

namespace lumatrim {
namespace {

using testing::ReadBytes;

const std::string kSuite = std::string(LUMATRIM_TEST_DATA) + "/conformance/";

// Cases where our reader decides otherwise by design, with the reason. The test checks that they
// still differ, so that a case which starts to agree is taken off this list.
const std::map<std::string, std::string> kExpectedDifferences = {
    {"invalid-code",
     "the code stream opens with a code that is neither the clear code nor a pixel; the suite "
     "refuses the file, our decoder stops there and the frame stays, all index 0"},
    {"invalid-colors",
     "the suite refuses pixel indices past the colour table; our reader keeps them, and they show "
     "the palette store's zero entries (opaque black)"},
    {"no-data",
     "the file has a screen but no image; our reader refuses a file without images, the suite "
     "shows the empty screen as one transparent frame"},
    {"loop-animexts",
     "the loop count stands in an ANIMEXTS1.0 application extension; our reader takes it only "
     "from the NETSCAPE2.0 one and drops other application extensions"},
    {"overflow-codes",
     "the suite refuses a minimum code size above 11; our decoder writes no pixel and the frame "
     "stays, all index 0"},
    {"overflow-codes-max",
     "the suite refuses a minimum code size of 255; our decoder writes no pixel and the frame "
     "stays, all index 0"},
    {"plain-text",
     "the suite refuses a file with a plain text extension; our reader skips the extension and "
     "reads the image after it as an ordinary frame"},
};

// One section of a case file: key = value lines.
using Section = std::map<std::string, std::string>;

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Reads an INI file of the suite into its sections; lines starting with # are comments.
std::map<std::string, Section> ReadCaseFile(const std::string& path) {
  std::map<std::string, Section> sections;
  std::ifstream in(path);
  std::string line;
  std::string current;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
      continue;
    }
    const size_t eq = line.find('=');
    if (eq != std::string::npos) {
      sections[current][Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
    }
  }
  return sections;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (!Trim(item).empty()) items.push_back(Trim(item));
  }
  return items;
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  std::ifstream in(kSuite + "TESTS");
  std::string line;
  while (std::getline(in, line)) {
    if (!Trim(line).empty()) names.push_back(Trim(line));
  }
  return names;
}

// Compares two RGBA pictures as a viewer sees them: pixels that are both fully transparent are
// equal whatever their colour bytes. Answers "" or a description of the first difference.
std::string ComparePixels(const std::vector<uint8_t>& got, const std::vector<uint8_t>& expected,
                          int32_t width) {
  if (got.size() != expected.size()) {
    return std::to_string(got.size()) + " bytes of pixels, expected " +
           std::to_string(expected.size());
  }
  size_t differing = 0;
  std::string first;
  for (size_t i = 0; i + 3 < got.size(); i += 4) {
    const bool bothTransparent = got[i + 3] == 0 && expected[i + 3] == 0;
    if (bothTransparent || std::equal(&got[i], &got[i] + 4, &expected[i])) continue;
    if (differing++ == 0) {
      char text[120];
      const size_t pixel = i / 4;
      std::snprintf(text, sizeof text,
                    "pixel (%zu,%zu) is %02x%02x%02x/%u, expected %02x%02x%02x/%u",
                    pixel % size_t(width), pixel / size_t(width), got[i], got[i + 1], got[i + 2],
                    got[i + 3], expected[i], expected[i + 1], expected[i + 2], expected[i + 3]);
      first = text;
    }
  }
  if (differing == 0) return "";
  return first + " (" + std::to_string(differing) + " pixels differ)";
}

// Whether the looping block agrees with the suite's loop-count: "infinite" is a looping block
// with count 0, "0" no looping block, any other number that count.
std::string CompareLoops(const cGIF& doc, const std::string& expected) {
  std::string got = "0";
  if (doc.HasLoopingBlock()) {
    const uint16_t loops = uint16_t(doc.AnimationLoops());
    got = loops == 0 ? "infinite" : std::to_string(loops);
  }
  if (got == expected) return "";
  return "loop count " + got + ", expected " + expected;
}

// What a viewer shows after each frame is drawn, as the suite's pixels: red, green, blue and
// alpha, with alpha 0 where nothing is shown.
struct ViewerFrame {
  std::vector<uint8_t> rgba;
  int64_t delay = 0;  // hundredths of a second
};
struct ViewerPlayback {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<ViewerFrame> frames;
};

std::vector<uint8_t> Rgba(const Canvas& canvas) {
  std::vector<uint8_t> rgba;
  rgba.reserve(size_t(canvas.Width()) * size_t(canvas.Height()) * 4);
  for (int32_t y = 0; y < canvas.Height(); ++y) {
    for (int32_t x = 0; x < canvas.Width(); ++x) {
      const uint32_t shown = canvas.At(x, y);
      const bool nothing = shown == kNothingShown;
      rgba.insert(rgba.end(), {uint8_t(nothing ? 0 : shown), uint8_t(nothing ? 0 : shown >> 8),
                               uint8_t(nothing ? 0 : shown >> 16), uint8_t(nothing ? 0 : 255)});
    }
  }
  return rgba;
}

ViewerPlayback PlayDocument(const cGIF& doc) {
  Viewer viewer(doc);
  ViewerPlayback playback{viewer.Width(), viewer.Height(), {}};
  while (viewer.Step()) {
    playback.frames.push_back(ViewerFrame{Rgba(viewer.Shown()), viewer.LastDelay()});
  }
  return playback;
}

// The frames of a playback that the suite expects as pictures. A viewer shows an image whose
// delay is 0 together with the images after it, so the suite's pictures are the screens after
// the images with a delay and after the last one; only for files it marks force-animation (images
// without any delay that viewers animate anyway) is every image a picture of its own.
std::vector<size_t> ShownFrames(const ViewerPlayback& playback, bool everyImage) {
  std::vector<size_t> shown;
  for (size_t i = 0; i < playback.frames.size(); ++i) {
    if (everyImage || playback.frames[i].delay != 0 || i + 1 == playback.frames.size()) {
      shown.push_back(i);
    }
  }
  return shown;
}

// Runs one case; answers "" when our result is the suite's, else what differs.
std::string RunCase(const std::string& name) {
  auto sections = ReadCaseFile(kSuite + name + ".conf");
  Section& config = sections["config"];
  const std::vector<std::string> expectedFrames = SplitList(config["frames"]);

  cGIF doc;
  const bool loaded = doc.LoadFromFile(kSuite + config["input"]);
  if (expectedFrames.empty()) {
    if (!loaded) return "";
    return "loads with " + std::to_string(doc.FramesCount()) +
           " frame(s), the suite expects the file refused";
  }
  if (!loaded) return "does not load";

  // Files the suite marks as animated although they lack a looping block: most viewers animate
  // them, but the file stores no loop count for us to show.
  if (config["force-animation"] != "yes") {
    if (std::string loops = CompareLoops(doc, config["loop-count"]); !loops.empty()) return loops;
  }

  const int32_t width = std::stoi(config["width"]);
  const int32_t height = std::stoi(config["height"]);
  // A playback holds one screen-sized RGBA picture per frame; refuse to make a huge one here.
  if (int64_t(width) * height * 4 * doc.FramesCount() > (int64_t(256) << 20)) {
    return "playback too large to compare";
  }
  const ViewerPlayback playback = PlayDocument(doc);
  if (playback.width != width || playback.height != height) {
    return "screen " + std::to_string(playback.width) + "x" + std::to_string(playback.height) +
           ", expected " + std::to_string(width) + "x" + std::to_string(height);
  }
  const std::vector<size_t> shown = ShownFrames(playback, config["force-animation"] == "yes");
  if (shown.size() != expectedFrames.size()) {
    return std::to_string(shown.size()) + " pictures shown, expected " +
           std::to_string(expectedFrames.size());
  }
  for (size_t i = 0; i < expectedFrames.size(); ++i) {
    Section& frame = sections[expectedFrames[i]];
    const ViewerFrame& got = playback.frames[shown[i]];
    const std::string where = "picture " + std::to_string(i) + ": ";
    const int32_t delay = frame.count("delay") ? std::stoi(frame["delay"]) : 0;
    if (got.delay != delay) {
      return where + "delay " + std::to_string(got.delay) + ", expected " + std::to_string(delay);
    }
    const std::string pixels = ComparePixels(got.rgba, ReadBytes(kSuite + frame["pixels"]), width);
    if (!pixels.empty()) return where + pixels;
  }
  return "";
}

class Conformance : public ::testing::TestWithParam<std::string> {};

TEST_P(Conformance, MatchesTheSuite) {
  const std::string& name = GetParam();
  const std::string difference = RunCase(name);
  const auto expected = kExpectedDifferences.find(name);
  if (expected == kExpectedDifferences.end()) {
    EXPECT_EQ(difference, "") << name;
  } else {
    RecordProperty("difference", difference);
    EXPECT_NE(difference, "") << name << " now agrees with the suite; take it off the list of "
                              << "expected differences (" << expected->second << ")";
  }
}

INSTANTIATE_TEST_SUITE_P(Suite, Conformance, ::testing::ValuesIn(CaseNames()),
                         [](const auto& info) { return testing::TestNameOf(info.param); });

// Guards against the suite going missing: an empty list would pass vacuously.
TEST(ConformanceSuite, HasItsCases) {
  EXPECT_GE(CaseNames().size(), 80u);
}

}  // namespace
}  // namespace lumatrim
