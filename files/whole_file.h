// Writing a whole file at once, the way a save does: the bytes go to a hidden temporary file
// beside the target, which is renamed over the target once every byte is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumatrim {

// Writes bytes to filename. Only a regular file (or nothing) at filename is replaced; a replaced
// file keeps its permissions, and its owner where the process may set it. On any failure the
// temporary file is removed, the target is left as it was, and the answer says why; on success
// the answer is empty.
std::string WriteWholeFile(const std::string& filename, const std::vector<uint8_t>& bytes);

}  // namespace lumatrim
