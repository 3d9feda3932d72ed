// Writing a whole file at once, the way a save does: the bytes go to a hidden temporary file
// beside the target, which is renamed over the target once every byte is written.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "raster/result.h"

namespace lumatrim {

// Writes bytes to filename. Only a regular file (or nothing) at filename is replaced; a replaced
// file keeps its permissions, and its owner where the process may set it. On any failure the
// temporary file is removed, the target is left as it was, and the answer says why.
Status WriteWholeFile(const std::string& filename, std::span<const uint8_t> bytes);

// Replaces the file target with bytes the same way; with keepTimes it also keeps the file's
// access and modification times.
Status ReplaceFileContent(const std::string& target, std::span<const uint8_t> bytes,
                          bool keepTimes);

}  // namespace lumatrim
