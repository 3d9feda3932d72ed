// A fast lossless packer for a frame's bytes while it waits out of memory. It finds repeats
// (runs of one index, a row like the row above) with a hashed match search and writes literal
// bytes and back references, so that packing and unpacking cost about a copy of the memory.
// It packs and unpacks our own bytes only; unpacking still never reads or writes out of bounds.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lumatrim::BytePacker {

// rowBytes, where the bytes are rows of a picture, lets the packer try the row above at every
// position as well as the last place its hash saw.
std::vector<uint8_t> Pack(std::span<const uint8_t> bytes, size_t rowBytes = 0);

// Fills out (of the size that was packed) from packed; answers false when packed does not
// describe exactly out.size() bytes.
bool Unpack(std::span<const uint8_t> packed, std::span<uint8_t> out);

}  // namespace lumatrim::BytePacker
