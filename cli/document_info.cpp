#include "cli/document_info.h"

#include <zlib.h>

#include "cli/json_text.h"
#include "gif/geometry.h"

namespace lumatrim::cli {

std::optional<uint32_t> FramePixelsCrc32(const cGIF& doc, int16_t nFrame) {
  const uint32_t width = doc.FrameWidth(nFrame);
  const uint32_t height = doc.FrameHeight(nFrame);
  uLong crc = crc32(0L, Z_NULL, 0);
  if (width == 0 || height == 0) return uint32_t(crc);

  const auto surface = doc.FrameDIBXOR(nFrame);
  if (!surface || !surface->hDIB() || surface->BPP() != 8 || uint32_t(surface->Width()) != width ||
      uint32_t(surface->Height()) != height) {
    return std::nullopt;
  }
  const uint8_t* row = surface->lpBits();
  for (uint32_t y = 0; y < height; ++y, row += surface->BytesPerScanline()) {
    crc = crc32(crc, row, uInt(width));
  }
  return uint32_t(crc);
}

namespace {

nlohmann::ordered_json FrameInfoJson(const cGIF& doc, int16_t nFrame) {
  const Geometry geometry(doc);
  nlohmann::ordered_json frame;
  frame["left"] = geometry.FrameLeft(nFrame);
  frame["top"] = geometry.FrameTop(nFrame);
  frame["width"] = doc.FrameWidth(nFrame);
  frame["height"] = doc.FrameHeight(nFrame);
  frame["interlaced"] = doc.FrameInterlaced(nFrame);
  frame["delay"] = geometry.FrameDelay(nFrame);
  frame["disposal"] = doc.FrameDisposalMethod(nFrame);
  frame["user_input"] = doc.FrameUserInput(nFrame);
  if (doc.FrameUseTransparentColor(nFrame)) {
    frame["transparent"] = doc.FrameTransparentColorIndex(nFrame);
  } else {
    frame["transparent"] = nullptr;
  }
  frame["local_palette"] = {{"used", doc.LocalPaletteUsed(nFrame)},
                            {"entries", uint16_t(doc.LocalPaletteEntries(nFrame))},
                            {"sorted", doc.LocalPaletteSorted(nFrame)}};
  frame["comments"] = doc.FrameCommentsCount(nFrame);
  if (const auto crc = FramePixelsCrc32(doc, nFrame)) {
    frame["pixels_crc32"] = *crc;
  } else {
    frame["pixels_crc32"] = nullptr;
  }
  return frame;
}

}  // namespace

nlohmann::ordered_json DocumentInfoJson(const std::string& file, const cGIF& doc, bool loaded) {
  nlohmann::ordered_json info;
  PutFileName(info, "file", file);
  info["loaded"] = loaded;
  if (!loaded) info["error"] = ValidUtf8(doc.LoadError());
  info["screen"] = {{"width", Geometry(doc).ScreenWidth()},
                    {"height", Geometry(doc).ScreenHeight()},
                    {"background", doc.ScreenBackgroundColorIndex()},
                    {"aspect_byte", doc.ScreenPixelAspectByte()}};
  if (doc.HasLoopingBlock()) {
    info["loops"] = uint16_t(doc.AnimationLoops());
  } else {
    info["loops"] = nullptr;
  }
  info["global_palette"] = {{"exists", doc.GlobalPaletteExists()},
                            {"entries", uint16_t(doc.GlobalPaletteEntries())},
                            {"sorted", doc.GlobalPaletteSorted()}};
  info["trailing_comments"] = doc.TrailingCommentsCount();
  info["frames"] = nlohmann::ordered_json::array();
  for (int n = 1; n <= doc.FramesCount(); ++n) {
    info["frames"].push_back(FrameInfoJson(doc, int16_t(n)));
  }
  return info;
}

nlohmann::ordered_json LoadFileInfoJson(const std::string& file, cGIF& doc) {
  const bool loaded = doc.LoadFromFile(file);
  return DocumentInfoJson(file, doc, loaded);
}

std::string InfoJsonLine(const nlohmann::ordered_json& info) {
  return info.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace lumatrim::cli
