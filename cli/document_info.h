// What a loaded document holds, in the terms of the file it came from: the object behind
// `lumatrim-cli info --json`, and the checksum of a frame's pixels.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "gif/gif_document.h"

namespace lumatrim::cli {

// CRC-32 (the zlib polynomial) of the frame's width x height indices, rows top to bottom as
// displayed, without the surface's row padding. A frame of width or height 0 gives the CRC of
// nothing, 0. Empty when the frame declares pixels but holds no surface for them (its size could
// not be allocated), since there are then no indices to sum.
std::optional<uint32_t> FramePixelsCrc32(const cGIF& doc, int16_t nFrame);

// The info object of doc, with its keys in a fixed order. Numbers are as the file stores them:
// 16-bit fields unsigned; "loops" and a frame's "transparent" are null when the file has no
// looping block or the frame no transparent index. Every key is present also when loaded is
// false: the document then shows what was read before the load gave up (usually nothing), and
// "error" follows "loaded" with the reason. A file name that is not UTF-8 is given with
// replacement characters, and "file_base64" follows with its exact bytes.
nlohmann::ordered_json DocumentInfoJson(const std::string& file, const cGIF& doc, bool loaded);

// Loads file into doc and answers its info object.
nlohmann::ordered_json LoadFileInfoJson(const std::string& file, cGIF& doc);

// One line of output: the object without spaces; bytes that are not UTF-8 (a file name from a
// single-byte code page) become U+FFFD instead of failing.
std::string InfoJsonLine(const nlohmann::ordered_json& info);

}  // namespace lumatrim::cli
