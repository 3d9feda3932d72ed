#include "files/interrupted_saves.h"

// POSIX: sigaction to set the handlers, unlink and rmdir because they are the calls a handler
// may use to remove a file and a folder.
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>

namespace lumatrim {

namespace {

// A slot goes Free -> Filling (its owner copies the path) -> Listed -> Free again when the save
// is over. The handler takes a Listed slot to Removing and leaves it so: the path is never
// rewritten under it, and the process ends anyway.
enum SlotState : int { kFree, kFilling, kListed, kRemoving };

struct Slot {
  std::atomic<int> state{kFree};
  std::atomic<bool> folder{false};
  char path[4096];
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the handler needs lock-free atomics");

// More than the saves a run has in flight at once (one per worker).
std::array<Slot, 64> slots;

extern "C" void RemoveInFlightFilesAndEnd(int signal) {
  // Files first, so that the folders they were in are empty when their turn comes.
  for (const bool folders : {false, true}) {
    for (Slot& slot : slots) {
      if (slot.folder != folders) continue;
      int listed = kListed;
      if (!slot.state.compare_exchange_strong(listed, kRemoving)) continue;
      if (folders) {
        rmdir(slot.path);
      } else {
        unlink(slot.path);
      }
    }
  }
  // End as the signal would have: default action, then the signal again. It is blocked while
  // this handler runs and arrives as soon as the handler returns.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

// Claims a free slot for path; answers its number, or -1 when none is free or path is too long.
int List(const std::string& path, bool folder) {
  if (path.size() >= sizeof(Slot::path)) return -1;
  for (size_t i = 0; i < slots.size(); ++i) {
    int free = kFree;
    if (!slots[i].state.compare_exchange_strong(free, kFilling)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].folder = folder;
    slots[i].state.store(kListed);
    return int(i);
  }
  return -1;
}

void Unlist(int slot) {
  if (slot < 0) return;
  // Fails only when the handler has the slot: then the process is ending.
  int listed = kListed;
  slots[size_t(slot)].state.compare_exchange_strong(listed, kFree);
}

}  // namespace

InFlightFile::InFlightFile(const std::string& path) : InFlightFile(path, false) {}
InFlightFile::InFlightFile(const std::string& path, bool folder) : slot_(List(path, folder)) {}
InFlightFile::~InFlightFile() {
  Unlist(slot_);
}

void InstallInterruptCleanup() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveInFlightFilesAndEnd;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, nullptr);
}

}  // namespace lumatrim
