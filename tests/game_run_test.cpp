// The whole game under the test display: start-up, the title menu, the
// introduction into the first level, and quitting with F12. The game data made
// by the build in build/game is played as a player gets it.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "world/world.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  std::string line;
  while (std::getline(s, line)) out.push_back(line);
  return out;
}

bool run(const std::string& command) { return system(command.c_str()) == 0; }

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

class GameRun : public ::testing::Test {
 protected:
  std::string game = std::string(TWINFOLD_BINARY_DIR) + "/game";
  std::string out, err, audio;
  pid_t pid = -1;

  pid_t xserver = -1;

  // A display of the test's own: windows of tests running beside this one
  // must not take the pointer or the keyboard from the game.
  void startdisplay() {
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
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", static_cast<char*>(nullptr));
        _exit(127);
      }
      setenv("DISPLAY", display.c_str(), 1);
      bool up = waitfor([&] {
        int status;
        if (waitpid(xserver, &status, WNOHANG) == xserver) return true;  // it died
        return run("xdpyinfo >/dev/null 2>&1");
      }, 30000);
      if (up && run("xdpyinfo >/dev/null 2>&1")) return;
      kill(xserver, SIGKILL);
      waitpid(xserver, nullptr, 0);
      xserver = -1;
    }
    FAIL() << "could not start Xvfb";
  }

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(startdisplay());
    char dir[] = "/tmp/twinfold-run-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    out = std::string(dir) + "/stdout";
    err = std::string(dir) + "/stderr";
    audio = std::string(dir) + "/audio.raw";
    struct stat st;
    ASSERT_EQ(stat((game + "/tutorial1.lvl").c_str(), &st), 0) << "game data missing: run make";
  }
  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (xserver > 0) {
      kill(xserver, SIGTERM);
      waitpid(xserver, nullptr, 0);
    }
  }
  void start() {
    pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (chdir(game.c_str()) != 0) _exit(127);
      freopen(out.c_str(), "w", stdout);
      freopen(err.c_str(), "w", stderr);
      setenv("SDL_AUDIODRIVER", "disk", 1);
      setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
      std::string exe = std::string(TWINFOLD_BINARY_DIR) + "/twinfold";
      execl(exe.c_str(), "twinfold", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  bool exited(int* status) {
    pid_t r = waitpid(pid, status, WNOHANG);
    if (r == pid) {
      pid = -1;
      return true;
    }
    return false;
  }
};

TEST_F(GameRun, MenuIntroFirstLevelAndF12) {
  start();
  // The audio device's result is the last start-up line: the loop runs next.
  ASSERT_TRUE(waitfor([&] { return lines(slurp(out)).size() >= 3 &&
                                   slurp(out).find("wave loaded") != std::string::npos; },
                      60000))
      << slurp(out) << slurp(err);
  std::vector<std::string> start = lines(slurp(out));
  EXPECT_EQ(start[0], "Twinfold Engine starting");

  // New game at (700, 768 - 630), then through the four introduction pages.
  // Full screen with a hidden pointer, SDL reports relative motion: pin the
  // pointer in the top left corner, then move it onto the button.
  ASSERT_TRUE(run("xdotool mousemove_relative -- -4000 -4000"));
  ASSERT_TRUE(run("xdotool mousemove_relative -- 700 138"));
  for (int i = 0; i < 5; i++) {
    ASSERT_TRUE(run("xdotool click 1"));
    std::this_thread::yield();
  }
  // The first level loads with its log lines in file order.
  std::string level = game + "/tutorial1.lvl";
  testing::internal::CaptureStdout();
  { World expected(level.c_str(), false); }
  std::vector<std::string> want = lines(testing::internal::GetCapturedStdout());
  ASSERT_FALSE(want.empty());
  ASSERT_TRUE(waitfor([&] { return slurp(out).find(want.back()) != std::string::npos; }, 60000))
      << slurp(out) << slurp(err);

  std::vector<std::string> got = lines(slurp(out));
  size_t k = 0;
  for (const std::string& line : got)
    if (k < want.size() && line == want[k]) k++;
  EXPECT_EQ(k, want.size()) << "level log lines out of order";

  // F12 in play mode ends the game cleanly.
  int status = 0;
  ASSERT_TRUE(waitfor([&] {
    run("xdotool key F12");
    return exited(&status);
  }, 60000));
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << slurp(err);

  // The menu's music went to the disk audio device, and it is not silence.
  std::string sound = slurp(audio);
  EXPECT_GT(sound.size(), 16384u);
  bool loud = false;
  for (size_t i = 0; i + 1 < sound.size() && !loud; i += 2) {
    int16_t s = static_cast<int16_t>(static_cast<uint8_t>(sound[i]) |
                                     (static_cast<uint8_t>(sound[i + 1]) << 8));
    loud = s > 1000 || s < -1000;
  }
  EXPECT_TRUE(loud) << "the captured music is silent";
}

TEST_F(GameRun, QuitRequestEndsTheGameFromTheMenu) {
  start();
  ASSERT_TRUE(waitfor([&] { return slurp(out).find("wave loaded") != std::string::npos; }, 60000));
  // SDL turns a termination request into the same quit event that closing
  // the window sends. One request: a second one arriving while the game is
  // already shutting down (slow under the sanitizers) would find SDL's
  // handler gone and kill it.
  int status = 0;
  kill(pid, SIGTERM);
  ASSERT_TRUE(waitfor([&] { return exited(&status); }, 30000));
  ASSERT_TRUE(WIFEXITED(status)) << slurp(err);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
