// TestDisplay: a virtual X display of one test's own, so windows of tests
// running beside it cannot take the pointer, the keyboard or the screen; and
// waitfor, the bounded poll that whole-program tests wait with.
#pragma once
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

// Polls until pred holds, for at most limit_ms; the bound is generous so a
// loaded machine is not a failure.
template <class Pred>
bool waitfor(Pred pred, int limit_ms) {
  for (int waited = 0; waited < limit_ms; waited += 50) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return pred();
}

class TestDisplay {
 public:
  TestDisplay() = default;
  ~TestDisplay() {
    if (xserver > 0) {
      kill(xserver, SIGTERM);
      waitpid(xserver, nullptr, 0);
    }
  }
  TestDisplay(const TestDisplay&) = delete;
  TestDisplay& operator=(const TestDisplay&) = delete;

  // Starts Xvfb at 1024 by 768 on a free display number and sets DISPLAY to
  // it; call under ASSERT_NO_FATAL_FAILURE.
  void start() {
    for (int n = 300 + getpid() % 400, tries = 0; tries < 50; n++, tries++) {
      std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
      struct stat st;
      if (stat(lock.c_str(), &st) == 0) continue;
      std::string display = ":" + std::to_string(n);
      xserver = fork();
      ASSERT_GE(xserver, 0);
      if (xserver == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        // -noreset: the server would otherwise restart, refusing connections
        // for a moment, each time its last client (the probe below) leaves.
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
      }
      setenv("DISPLAY", display.c_str(), 1);
      bool up = waitfor([&] {
        int status;
        if (waitpid(xserver, &status, WNOHANG) == xserver) return true;  // it died
        return answers();
      }, 30000);
      if (up && answers()) return;
      kill(xserver, SIGKILL);
      waitpid(xserver, nullptr, 0);
      xserver = -1;
    }
    FAIL() << "could not start Xvfb";
  }

  pid_t xserver = -1;  // the Xvfb process, ended by the destructor

 private:
  static bool answers() { return system("xdpyinfo >/dev/null 2>&1") == 0; }
};
