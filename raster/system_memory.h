// Memory the program has freed, given back to the system. The allocator keeps freed blocks for
// reuse, so a step that frees much of what an earlier one held (a save that lets its frames go)
// would otherwise go on holding all of it.
#pragma once

#include <cstddef>

namespace lumatrim {

void ReturnFreedMemory();

// Asks the system to back a block of this many bytes, fresh from the allocator and not yet
// written, with large pages where it is large enough to hold some. The system clears every page
// it hands out on the first write, a fault each: a frame of hundreds of megapixels took more time
// in those faults than in all the passes' work (3 frames of 16000 x 16000: 5.1 s, 0.7 s with
// large pages). Smaller blocks are left as they are: their pages are few and a large page could
// hold more than they need.
void AskForLargePages(void* block, std::size_t bytes);

// Makes every thread allocate from one heap, so that memory one thread frees serves any other.
// With a heap a thread (the allocator's default), a file's frames, made on one thread and let go
// on another, left each heap holding freed memory of its own: -j 2 on a long clip peaked a
// quarter higher than -j 1, and a file reduced on a thread other than the first had twice the
// page faults (1.8 times the time). Frames are large and few, so the threads seldom meet in the
// heap.
// Called once, at the start of a program, before any thread is started.
void ShareOneHeapAcrossThreads();

// How much a step frees between returns: about a frame of a long clip. A return walks the
// allocator's free blocks, which costs about as much as packing a frame; returning every 4 MiB
// let --best -j 2 on the long clip hold 70 MiB, every 512 KiB 63 MiB, in the same time.
inline constexpr unsigned long long kReturnFreedMemoryEvery = 1ull << 19;

}  // namespace lumatrim
