#include "files/interrupted_saves.h"

// POSIX: sigaction to set the handlers; unlink and nanosleep because a handler may call them.
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>

namespace lumatrim {

namespace {

// A slot goes Free -> Filling (its owner copies the path) -> Listed, and Listed -> Creating ->
// Listed around the call that makes the file, then -> Free again when the save is over. The
// handler waits out Filling and Creating, takes a Listed slot to Removing and leaves it so: the
// path is never rewritten under it, and the process ends anyway.
enum SlotState : int { kFree, kFilling, kListed, kCreating, kRemoving };

struct Slot {
  std::atomic<int> state{kFree};
  char path[4096];
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the handler needs lock-free atomics");

// More than the saves a run has in flight at once (one per worker).
std::array<Slot, 64> slots;

// Set by the handler before it looks at any slot. A save that sees it makes no file; one that
// made its file before the handler looked is seen by the handler. Both are sequentially
// consistent, so one of the two always sees the other.
std::atomic<bool> ending{false};

// Waits while the slot's owner is between two states, for a bounded time: if the handler runs
// on that very thread, the owner can't go on until the handler is done.
int SettledState(Slot& slot) {
  int state = slot.state.load();
  for (int waited = 0; (state == kFilling || state == kCreating) && waited < 2000; ++waited) {
    const struct timespec pause = {0, 500000};  // half a millisecond
    nanosleep(&pause, nullptr);
    state = slot.state.load();
  }
  return state;
}

extern "C" void RemoveInFlightFilesAndEnd(int signal) {
  ending.store(true);
  for (Slot& slot : slots) {
    // Listed, or still Creating when its owner is this very thread: the file may exist.
    for (int state = SettledState(slot); state == kListed || state == kCreating;
         state = SettledState(slot)) {
      if (slot.state.compare_exchange_strong(state, kRemoving)) {
        unlink(slot.path);
        break;
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
int List(const std::string& path) {
  if (path.size() >= sizeof(Slot::path)) return -1;
  for (size_t i = 0; i < slots.size(); ++i) {
    int free = kFree;
    if (!slots[i].state.compare_exchange_strong(free, kFilling)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
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

InFlightFile::InFlightFile(const std::string& path) : slot_(List(path)) {}

InFlightFile::~InFlightFile() {
  Unlist(slot_);
}

bool InFlightFile::Create(const std::function<void()>& create) {
  if (slot_ < 0) {
    // Not listed: nothing to agree with the handler on.
    if (ending.load()) return false;
    create();
    return true;
  }
  Slot& slot = slots[size_t(slot_)];
  int listed = kListed;
  if (!slot.state.compare_exchange_strong(listed, kCreating)) return false;  // the handler has it
  if (ending.load()) {
    slot.state.store(kListed);
    return false;
  }
  create();
  listed = kCreating;
  slot.state.compare_exchange_strong(listed, kListed);
  return true;
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
