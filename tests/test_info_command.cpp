// `lumatrim-cli info`: the JSON object's keys and values, and the command's output and exit code.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/document_info.h"
#include "cli/info_command.h"
#include "gif_bytes.h"

namespace lumatrim {
namespace {

using nlohmann::ordered_json;
using namespace lumatrim::testing;

// Display rows of a 3 x 4 frame; the CRC-32 of these 12 bytes is 0x81c17c37.
const Bytes kDisplayPixels = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
constexpr uint32_t kDisplayCrc = 0x81c17c37;

// The pixels in the order an interlaced 4-row image stores its rows: 0, 2, 1, 3.
Bytes InterlacedStorage(const Bytes& display, int width) {
  Bytes stored;
  for (int row : {0, 2, 1, 3}) {
    stored.insert(stored.end(), display.begin() + row * width, display.begin() + (row + 1) * width);
  }
  return stored;
}

std::vector<std::string> Keys(const ordered_json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items()) keys.push_back(item.key());
  return keys;
}

std::string WriteTempFile(const std::string& name, const Bytes& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

// A two-frame animation that uses every key: looping block, comments everywhere, a frame with
// transparency and a local sorted table, an interlaced frame on the global table.
Bytes TwoFrameAnimation() {
  Bytes gif = Header(40000, 7, 0xF9, 3, 49);  // global table of 4 entries, sorted
  ColorTable(gif, 4);
  Looping(gif, 65535);
  Comment(gif, "first");
  GraphicControl(gif, 0x08 | 0x02 | 0x01, 65535, 2);  // disposal 2, user input, transparent 2
  Image(gif, 50000, 1, 3, 4, 0x80 | 0x20 | 0x01, UncompressedCodes(kDisplayPixels), 4);
  Comment(gif, "second");
  Append(gif, {0x21, 0xFE, 0x00});  // an empty comment counts too
  Image(gif, 0, 0, 3, 4, 0x40, UncompressedCodes(InterlacedStorage(kDisplayPixels, 3)));
  Comment(gif, "trailing");
  gif.push_back(0x3B);
  return gif;
}

TEST(InfoJson, HasExactlyTheDocumentedKeysInOrder) {
  cGIF doc;
  ASSERT_TRUE(doc.LoadFromStream(TwoFrameAnimation()));
  const ordered_json info = cli::DocumentInfoJson("anim.gif", doc, true);

  EXPECT_EQ(Keys(info),
            (std::vector<std::string>{"file", "loaded", "screen", "loops", "global_palette",
                                      "trailing_comments", "frames"}));
  EXPECT_EQ(Keys(info["screen"]),
            (std::vector<std::string>{"width", "height", "background", "aspect_byte"}));
  EXPECT_EQ(Keys(info["global_palette"]),
            (std::vector<std::string>{"exists", "entries", "sorted"}));
  ASSERT_EQ(info["frames"].size(), 2u);
  EXPECT_EQ(Keys(info["frames"][0]),
            (std::vector<std::string>{"left", "top", "width", "height", "interlaced", "delay",
                                      "disposal", "user_input", "transparent", "local_palette",
                                      "comments", "pixels_crc32"}));
  EXPECT_EQ(Keys(info["frames"][0]["local_palette"]),
            (std::vector<std::string>{"used", "entries", "sorted"}));
}

TEST(InfoJson, ReportsValuesAsTheFileStoresThem) {
  cGIF doc;
  ASSERT_TRUE(doc.LoadFromStream(TwoFrameAnimation()));
  const ordered_json info = cli::DocumentInfoJson("anim.gif", doc, true);

  // 16-bit fields above 32767 come out unsigned.
  EXPECT_EQ(info["screen"],
            ordered_json::parse(R"({"width":40000,"height":7,"background":3,"aspect_byte":49})"));
  EXPECT_EQ(info["loops"], 65535);
  EXPECT_EQ(info["global_palette"],
            ordered_json::parse(R"({"exists":true,"entries":4,"sorted":true})"));
  EXPECT_EQ(info["trailing_comments"], 1);

  const ordered_json& first = info["frames"][0];
  EXPECT_EQ(first, ordered_json::parse(R"({"left":50000,"top":1,"width":3,"height":4,
      "interlaced":false,"delay":65535,"disposal":2,"user_input":true,"transparent":2,
      "local_palette":{"used":true,"entries":4,"sorted":true},"comments":1,
      "pixels_crc32":2176941111})"));
  // A frame on the global table reports the global count; its rows count as displayed.
  const ordered_json& second = info["frames"][1];
  EXPECT_EQ(second, ordered_json::parse(R"({"left":0,"top":0,"width":3,"height":4,
      "interlaced":true,"delay":0,"disposal":0,"user_input":false,"transparent":null,
      "local_palette":{"used":false,"entries":4,"sorted":true},"comments":2,
      "pixels_crc32":2176941111})"));
}

TEST(InfoJson, LoopsIsNullWithoutALoopingBlockAndZeroForEver) {
  Bytes still = Header(1, 1);
  Image(still, 0, 0, 1, 1, 0, UncompressedCodes({0}));
  still.push_back(0x3B);
  cGIF doc;
  ASSERT_TRUE(doc.LoadFromStream(still));
  EXPECT_TRUE(cli::DocumentInfoJson("a.gif", doc, true)["loops"].is_null());

  Bytes forever = Header(1, 1);
  Looping(forever, 0);
  Image(forever, 0, 0, 1, 1, 0, UncompressedCodes({0}));
  forever.push_back(0x3B);
  ASSERT_TRUE(doc.LoadFromStream(forever));
  EXPECT_EQ(cli::DocumentInfoJson("a.gif", doc, true)["loops"], 0);
}

TEST(FramePixelsCrc32, SkipsRowPaddingAndZeroSizedFramesSumNothing) {
  Bytes gif = Header(3, 4, 0x81);
  ColorTable(gif, 4);
  Image(gif, 0, 0, 3, 4, 0, UncompressedCodes(kDisplayPixels));  // rows padded to 4 bytes
  Image(gif, 0, 0, 0, 4, 0, UncompressedCodes({}));
  gif.push_back(0x3B);
  cGIF doc;
  ASSERT_TRUE(doc.LoadFromStream(gif));
  ASSERT_EQ(doc.FramesCount(), 2);
  EXPECT_EQ(cli::FramePixelsCrc32(doc, 1), kDisplayCrc);
  EXPECT_EQ(cli::FramePixelsCrc32(doc, 2), 0u);
}

TEST(RunInfo, DescribesEveryFileAndFailsWhenOneDoesNotLoad) {
  const std::string good = WriteTempFile("info_good.gif", TwoFrameAnimation());
  const std::string bad = WriteTempFile("info_bad.gif", Bytes{'G', 'I', 'F', '9', '0', 'a'});
  const std::string missing = ::testing::TempDir() + "info_missing.gif";

  std::ostringstream json;
  EXPECT_EQ(cli::RunInfo({good, bad, missing}, true, json), 1);
  std::istringstream lines(json.str());
  std::vector<ordered_json> objects;
  for (std::string line; std::getline(lines, line);) objects.push_back(ordered_json::parse(line));
  ASSERT_EQ(objects.size(), 3u);
  EXPECT_EQ(objects[0]["file"], good);
  EXPECT_EQ(objects[0]["loaded"], true);
  for (int i : {1, 2}) {
    EXPECT_EQ(objects[i]["loaded"], false);
    EXPECT_EQ(objects[i]["frames"], ordered_json::array());
    EXPECT_EQ(Keys(objects[i]).size(), 8u);  // with the "error" that says why
  }
  EXPECT_EQ(objects[1]["error"], "not a GIF file");
  EXPECT_EQ(objects[2]["error"], "No such file or directory");

  std::ostringstream good_only;
  EXPECT_EQ(cli::RunInfo({good}, true, good_only), 0);

  std::ostringstream text;
  EXPECT_EQ(cli::RunInfo({good, missing}, false, text), 1);
  EXPECT_NE(text.str().find("* " + good + " 2 frames"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("loop count 65535"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("end comment \"trailing\""), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("* " + missing + ": not loaded (No such file or directory)"),
            std::string::npos)
      << text.str();
}

}  // namespace
}  // namespace lumatrim
