// The pool that shares out a run's work: every item runs once, failures come back to the caller,
// nested work finishes on the same threads, and frames of one document may be used from several
// threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "animation_docs.h"
#include "corpus.h"
#include "files.h"
#include "gif/gif_document.h"
#include "raster/work_pool.h"
#include "reduction/reduce_file.h"

namespace lumatrim {
namespace {

TEST(WorkPoolTest, EveryItemRunsOnceAndFailuresReachTheCaller) {
  for (unsigned threads : {1u, 2u, 5u}) {
    WorkPool pool(threads);
    std::vector<int> runs(1000, 0);
    pool.ParallelFor(runs.size(), [&](size_t i) { ++runs[i]; });
    EXPECT_EQ(std::count(runs.begin(), runs.end(), 1), 1000) << threads;

    std::atomic<int> ran{0};
    EXPECT_THROW(pool.ParallelFor(50,
                                  [&](size_t i) {
                                    ++ran;
                                    if (i == 7) throw std::runtime_error("item 7");
                                  }),
                 std::runtime_error);
    EXPECT_EQ(ran.load(), 50);  // the other items still ran
  }
  std::vector<int> inOrder;
  ParallelFor(nullptr, 3, [&](size_t i) { inOrder.push_back(int(i)); });
  EXPECT_EQ(inOrder, (std::vector<int>{0, 1, 2}));
}

TEST(WorkPoolTest, NestedWorkUsesNoMoreThanThePoolsThreads) {
  WorkPool pool(3);
  std::mutex mutex;
  std::set<std::thread::id> seen;
  std::atomic<int> items{0};
  // Files of a batch, each with frames: the caller and two workers do all of it.
  pool.ParallelFor(4, [&](size_t) {
    pool.ParallelFor(20, [&](size_t) {
      ++items;
      std::lock_guard lock(mutex);
      seen.insert(std::this_thread::get_id());
    });
  });
  EXPECT_EQ(items.load(), 80);
  EXPECT_LE(seen.size(), 3u);
}

TEST(WorkPoolTest, FramesOfOneDocumentFromSeveralThreadsAtOnce) {
  // A cache that holds no frame beyond those in use: every use packs and unpacks.
  cGIF doc;
  doc.FrameCacheSize(0);
  doc.GlobalPaletteExists(true);
  doc.GlobalPaletteEntries(256);
  constexpr int16_t kFrames = 60;
  for (int16_t n = 1; n <= kFrames; ++n) {
    doc.FrameInsert(n, 64, 48, true);
    const auto surface = doc.FrameDIBXOR(n);
    for (int32_t i = 0; i < surface->Size(); ++i) surface->lpBits()[i] = uint8_t(n + i);
  }
  WorkPool pool(4);
  for (int round = 0; round < 4; ++round) {
    // Each frame is read by two items and changed by one, as a step over pairs of frames does.
    pool.ParallelFor(size_t(kFrames), [&](size_t i) {
      const int16_t n = int16_t(i + 1);
      const int16_t next = int16_t(n % kFrames + 1);
      const auto mine = doc.FrameDIBXOR(n);
      const auto other = std::as_const(doc).FrameDIBXOR(next);
      mine->lpBits()[0] = uint8_t(mine->lpBits()[0] + 1);
      EXPECT_EQ(other->lpBits()[1], uint8_t(next + 1));
    });
  }
  for (int16_t n = 1; n <= kFrames; ++n) {
    const auto surface = std::as_const(doc).FrameDIBXOR(n);
    EXPECT_EQ(surface->lpBits()[0], uint8_t(n + 4)) << n;
    EXPECT_EQ(surface->lpBits()[surface->Size() - 1], uint8_t(n + surface->Size() - 1)) << n;
  }
}

// The same bytes for every number of threads, more threads than frames included, with the
// default pipeline and with --best.
TEST(WorkPoolTest, OutputsAreTheSameForEveryNumberOfThreads) {
  WorkPool two(2), many(9);
  for (const std::filesystem::path& path : testing::RealFiles()) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<uint8_t> input = testing::ReadBytes(path);
    for (const bool best : {false, true}) {
      // --best on the small files only: it takes its time.
      if (best && input.size() > 60000) continue;
      ReductionOptions options;
      options.best = best;
      cGIF doc;
      const ReducedBytes alone = ReduceBytes(doc, input, options);
      for (WorkPool* pool : {&two, &many}) {
        options.workers = pool;
        const ReducedBytes shared = ReduceBytes(doc, input, options);
        EXPECT_EQ(shared.status, alone.status) << best;
        EXPECT_TRUE(shared.bytes == alone.bytes) << best << " with " << pool->Threads();
      }
    }
  }
}

}  // namespace
}  // namespace lumatrim
