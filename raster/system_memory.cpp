#include "raster/system_memory.h"

#include <cstdint>
#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace lumatrim {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

void AskForLargePages(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;
  constexpr std::size_t kWorthIt = std::size_t(4) << 20;
  if (block == nullptr || bytes < kWorthIt) return;
  // The advice holds for whole large pages only: the part of the block they cover.
  const std::uintptr_t start = (std::uintptr_t(block) + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t end = (std::uintptr_t(block) + bytes) & ~(kLargePage - 1);
  // Advice the system does not take changes nothing but the time.
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

void ShareOneHeapAcrossThreads() {
#if defined(__GLIBC__)
  mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace lumatrim
