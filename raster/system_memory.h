// Memory the program has freed, given back to the system. The allocator keeps freed blocks for
// reuse, so a step that frees much of what an earlier one held (a save that lets its frames go)
// would otherwise go on holding all of it.
#pragma once

namespace lumatrim {

void ReturnFreedMemory();

// How much a step frees between returns: a return walks the allocator's free blocks, which
// costs about as much as packing a frame.
inline constexpr unsigned long long kReturnFreedMemoryEvery = 4ull << 20;

}  // namespace lumatrim
