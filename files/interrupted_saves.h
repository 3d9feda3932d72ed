// The temporary files of saves in flight, removed when a signal ends the process.
//
// A save writes its bytes to a hidden temporary file beside the target and renames it over the
// target at the end (whole_file.cpp). Should SIGINT, SIGTERM or SIGHUP end the process in
// between, that file would stay behind. So each save lists its temporary file here before it
// exists and for as long as it exists, and a front end that calls InstallInterruptCleanup once at
// start-up gets a handler that removes every listed file and then ends the process as the signal
// would have.
//
// This list is the core's one piece of process-wide mutable state, on purpose: a signal handler
// can reach nothing else. It is a fixed array of slots claimed with atomic operations, so the
// handler may run at any moment on any thread, with saves in flight on others, and touches only
// what it may (atomics, nanosleep and unlink). Documents still load and save in parallel.
#pragma once

#include <functional>
#include <string>

namespace lumatrim {

// Lists path as the temporary file of a save in flight for the lifetime of the object. When
// every slot is taken (more saves at once than slots) or the path is too long to keep, the file
// is simply not listed: the save still works, only without the cleanup.
class InFlightFile {
 public:
  explicit InFlightFile(const std::string& path);
  ~InFlightFile();
  InFlightFile(const InFlightFile&) = delete;
  InFlightFile& operator=(const InFlightFile&) = delete;

  // Runs create, which makes the listed file, so that the handler never misses it: a handler
  // that starts meanwhile waits for create to return and then removes what it made. Answers false,
  // without running create, once the process is ending.
  bool Create(const std::function<void()>& create);

 private:
  int slot_ = -1;
};

// For a front end's start-up. Sets a handler for SIGINT, SIGTERM and SIGHUP that removes the
// listed temporary files and then ends the process with the same signal (a signal the process
// ignored when this is called stays ignored). Also ignores SIGXFSZ, so that a file-size limit
// (ulimit -f) turns into an ordinary write error ("File too large") instead of ending the
// process.
void InstallInterruptCleanup();

}  // namespace lumatrim
