// The bytes that open and close the blocks of a GIF file, shared by the reader and the writer.
#pragma once

#include <cstdint>

namespace lumatrim::gif_format {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kCommentLabel = 0xFE;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr uint8_t kBlockTerminator = 0x00;

}  // namespace lumatrim::gif_format
