// Differential test against giflib: for every real-world file of tests/data/real that giflib
// reads without error, the info object of `lumatrim-cli info --json` must say what giflib says,
// key by key, down to the CRC of every frame's indices.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/document_info.h"
#include "corpus.h"
#include "gif/gif_document.h"

namespace lumatrim {
namespace {

using nlohmann::ordered_json;

const std::string kRealFiles = std::string(LUMATRIM_TEST_DATA) + "/real/";

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

int CountComments(const ExtensionBlock* blocks, int count) {
  // A comment of several sub-blocks is one COMMENT block followed by CONTINUE blocks.
  return int(std::count_if(blocks, blocks + count, [](const ExtensionBlock& block) {
    return block.Function == COMMENT_EXT_FUNC_CODE;
  }));
}

// Every looping block in file order, the later overriding the earlier: its data sub-blocks
// joined, loop count in the two bytes after the sub-block identifier.
void FindLoops(const ExtensionBlock* blocks, int count, ordered_json& loops) {
  for (int i = 0; i < count; ++i) {
    const ExtensionBlock& block = blocks[i];
    if (block.Function != APPLICATION_EXT_FUNC_CODE || block.ByteCount != 11 ||
        std::memcmp(block.Bytes, "NETSCAPE2.0", 11) != 0) {
      continue;
    }
    std::vector<uint8_t> data;
    for (int j = i + 1; j < count && blocks[j].Function == CONTINUE_EXT_FUNC_CODE; ++j) {
      data.insert(data.end(), blocks[j].Bytes, blocks[j].Bytes + blocks[j].ByteCount);
    }
    data.resize(std::max<size_t>(data.size(), 3), 0);
    loops = uint16_t(data[1] | (data[2] << 8));
  }
}

ordered_json PaletteJson(const ColorMapObject* map) {
  return {{"exists", map != nullptr},
          {"entries", map ? map->ColorCount : 0},
          {"sorted", map ? map->SortFlag : false}};
}

ordered_json FrameJson(const SavedImage& image, const ordered_json& globalPalette) {
  const GifImageDesc& desc = image.ImageDesc;
  ordered_json frame;
  frame["left"] = desc.Left;
  frame["top"] = desc.Top;
  frame["width"] = desc.Width;
  frame["height"] = desc.Height;
  frame["interlaced"] = desc.Interlace;

  // When two graphic control blocks stand in front of one image, the later one counts.
  GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  for (int i = 0; i < image.ExtensionBlockCount; ++i) {
    const ExtensionBlock& block = image.ExtensionBlocks[i];
    if (block.Function == GRAPHICS_EXT_FUNC_CODE) {
      EXPECT_EQ(DGifExtensionToGCB(size_t(block.ByteCount), block.Bytes, &control), GIF_OK);
    }
  }
  frame["delay"] = control.DelayTime;
  frame["disposal"] = control.DisposalMode;
  frame["user_input"] = control.UserInputFlag;
  frame["transparent"] = nullptr;
  if (control.TransparentColor != NO_TRANSPARENT_COLOR) {
    frame["transparent"] = control.TransparentColor;
  }

  // A frame without its own table draws with the global one and reports its entry count.
  if (desc.ColorMap) {
    frame["local_palette"] = {{"used", true},
                              {"entries", desc.ColorMap->ColorCount},
                              {"sorted", desc.ColorMap->SortFlag}};
  } else {
    frame["local_palette"] = {{"used", false},
                              {"entries", globalPalette["entries"]},
                              {"sorted", globalPalette["sorted"]}};
  }
  frame["comments"] = CountComments(image.ExtensionBlocks, image.ExtensionBlockCount);
  // DGifSlurp has already put interlaced rows in display order.
  const size_t pixels = size_t(desc.Width) * size_t(desc.Height);
  frame["pixels_crc32"] = uint32_t(crc32(crc32(0L, Z_NULL, 0), image.RasterBits, uInt(pixels)));
  return frame;
}

std::string ErrorText(int error) {
  const char* text = GifErrorString(error);
  return text ? text : "error " + std::to_string(error);
}

// The info object as giflib sees the file, or empty when giflib refuses it (error in *why).
std::optional<ordered_json> GiflibInfo(const std::string& path, std::string* why) {
  int error = 0;
  GifHandle gif(DGifOpenFileName(path.c_str(), &error));
  if (!gif) {
    *why = ErrorText(error);
    return std::nullopt;
  }
  if (DGifSlurp(gif.get()) != GIF_OK) {
    *why = ErrorText(gif->Error);
    return std::nullopt;
  }
  ordered_json info;
  info["file"] = path;
  info["loaded"] = true;
  info["screen"] = {{"width", gif->SWidth},
                    {"height", gif->SHeight},
                    {"background", gif->SBackGroundColor},
                    {"aspect_byte", gif->AspectByte}};
  ordered_json loops = nullptr;
  for (int i = 0; i < gif->ImageCount; ++i) {
    FindLoops(gif->SavedImages[i].ExtensionBlocks, gif->SavedImages[i].ExtensionBlockCount, loops);
  }
  FindLoops(gif->ExtensionBlocks, gif->ExtensionBlockCount, loops);
  info["loops"] = loops;
  info["global_palette"] = PaletteJson(gif->SColorMap);
  info["trailing_comments"] = CountComments(gif->ExtensionBlocks, gif->ExtensionBlockCount);
  info["frames"] = ordered_json::array();
  for (int i = 0; i < gif->ImageCount; ++i) {
    info["frames"].push_back(FrameJson(gif->SavedImages[i], info["global_palette"]));
  }
  return info;
}

// giflib drops a comment extension without data (a lone block terminator); our document keeps
// it as an empty comment. Counts without the empty ones are what giflib can see.
int NonEmptyComments(const cGIF& doc, int16_t nFrame) {
  int count = 0;
  for (int n = 1; n <= doc.FrameCommentsCount(nFrame); ++n) {
    count += !doc.FrameComment(nFrame, int16_t(n)).empty();
  }
  return count;
}

int NonEmptyTrailingComments(const cGIF& doc) {
  int count = 0;
  for (int n = 1; n <= doc.TrailingCommentsCount(); ++n) {
    count += !doc.TrailingComment(int16_t(n)).empty();
  }
  return count;
}

std::vector<std::string> RealFiles() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kRealFiles)) {
    if (entry.path().extension() == ".gif") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class GiflibDifferential : public ::testing::TestWithParam<std::string> {};

TEST_P(GiflibDifferential, InfoAgreesWithGiflib) {
  const std::string path = kRealFiles + GetParam();
  std::string why;
  const std::optional<ordered_json> theirs = GiflibInfo(path, &why);
  if (!theirs) GTEST_SKIP() << "giflib refuses the file: " << why;

  cGIF doc;
  ordered_json ours = cli::LoadFileInfoJson(path, doc);
  ASSERT_TRUE(ours["loaded"].get<bool>());
  ours["trailing_comments"] = NonEmptyTrailingComments(doc);
  for (size_t i = 0; i < ours["frames"].size(); ++i) {
    ours["frames"][i]["comments"] = NonEmptyComments(doc, int16_t(i + 1));
  }
  const ordered_json patch = ordered_json::diff(*theirs, ours);
  EXPECT_TRUE(patch.empty()) << "differences from giflib (as a JSON patch from giflib's view to "
                                "ours): "
                             << patch.dump();
}

INSTANTIATE_TEST_SUITE_P(RealFiles, GiflibDifferential, ::testing::ValuesIn(RealFiles()),
                         [](const auto& info) { return testing::TestNameOf(info.param); });

// The comparison must cover a fair share of the files, not pass because giflib refused them.
TEST(GiflibDifferentialCoverage, GiflibReadsMostRealFiles) {
  int compared = 0;
  for (const std::string& name : RealFiles()) {
    std::string why;
    compared += GiflibInfo(kRealFiles + name, &why).has_value();
  }
  EXPECT_GE(compared, 50);
}

}  // namespace
}  // namespace lumatrim
