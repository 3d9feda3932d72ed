// Runs part of a test in a child process: for what must not touch the test process itself
// (signal handlers, resource limits, a change of user), and for what may end the process.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace lumatrim::testing {

struct ChildOutcome {
  int exitCode = -1;  // -1 when the child did not exit
  int signal = 0;     // the signal that ended the child, if one did
  std::string text;   // what the body put into its text, when it returned
};

// Runs body in a forked child, which exits with body's answer. body may fill its text argument
// for the test to check.
inline ChildOutcome RunInChild(const std::function<int(std::string& text)>& body) {
  ChildOutcome outcome;
  int channel[2];
  if (pipe(channel) != 0) return outcome;
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    std::string text;
    const int code = body(text);
    for (size_t done = 0; done < text.size();) {
      const ssize_t n = write(channel[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += size_t(n);
    }
    _exit(code);
  }
  close(channel[1]);
  char buffer[4096];
  for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
    outcome.text.append(buffer, size_t(n));
  close(channel[0]);
  int status = 0;
  if (child == -1 || waitpid(child, &status, 0) != child) return outcome;
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

// In a child run as root (CI): continues as the ordinary user nobody, whom file permissions
// bind. Answers false when that fails.
inline bool BecomeOrdinaryUser() {
  if (geteuid() != 0) return true;
  constexpr uid_t kNobody = 65534;
  return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

}  // namespace lumatrim::testing
