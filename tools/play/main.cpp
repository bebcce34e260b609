// twinfold-play: plays one level straight away in the real game. Lays out a
// game folder of its own (the game's data linked in, the level as the first
// one), starts the game there and removes the folder when the game ends.
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "kit/packmake.h"
#include "kit/playfolder.h"
#include "kit/playscript.h"
#include "kit/replay.h"
#include "main/shell.h"

namespace {

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: twinfold-play LEVEL [--replay REPLAY [--speed N]]\n"
               "       twinfold-play PACK [--replay [--speed N]]\n"
               "Starts the game with LEVEL as its first level (New game plays it) in a\n"
               "temporary game folder of links to the game's data, removed when the game\n"
               "ends. Warns first about pictures or next levels the game would not find.\n"
               "With --replay the game plays REPLAY by itself: New game, the introduction,\n"
               "the level as the replay runs it, then quits; --speed N plays N times as\n"
               "fast as real time (1, the default), 0 as fast as frames are drawn.\n"
               "A level pack (made by twinfold-pack) is checked and unpacked first, and\n"
               "its first level is the game's; --replay alone plays the pack's own\n"
               "replays, level after level.\n"
               "Exit status: the game's own (128 + N when signal N ended it), 1 when the\n"
               "level, the game's data or the game cannot be found, or the pack is refused,\n"
               "2 a wrong command line.\n");
}

// The game the folder was made for; the signal handler passes quit requests on.
volatile sig_atomic_t game = 0;

void passon(int sig) {
  if (game > 0) kill(pid_t(game), sig);
}

bool isdir(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isfile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isprogram(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// This program's folder: installed, the data and the game lie in the shared
// and library folders beside it; in the build tree, right next to it.
std::string owndir() {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return ".";
  exe[n] = '\0';
  std::string path(exe);
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string findfirst(const std::string& installed, const std::string& built,
                      bool (*is)(const std::string&)) {
  if (is(installed)) return installed;
  if (is(built)) return built;
  return "";
}

// Turns the replay into a play script in the folder and sets up the input
// driver to feed it to the game: the game started next plays it by itself.
bool preparereplay(const std::string& dir, const std::string& folder, const std::string& level,
                   const std::string& replay, const std::vector<std::vector<ReplayLine>>& replays,
                   long speed, std::string& err) {
  const std::string driver = findfirst(dir + "/../lib/games/twinfold/libtwinfold_driver.so",
                                       dir + "/libtwinfold_driver.so", isfile);
  if (driver.empty()) {
    err = "twinfold-play: the input driver not found beside " + dir;
    return false;
  }
  PlayScript script;
  if (!makeplayscript(folder, replays, "", script, err)) {
    // The folder holds the level as the first level: name it as given.
    const std::string first = std::string(firstlevel) + ": ";
    if (err.compare(0, first.size(), first) == 0) err = level + ": " + err.substr(first.size());
    err = replay + ": " + err;
    return false;
  }
  const std::string path = folder + "/play.script";
  std::FILE* f = std::fopen(path.c_str(), "w");
  const std::string text = playscripttext(script);
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
    err = "twinfold-play: " + path + " cannot be written";
    return false;
  }
  const char* preload = std::getenv("LD_PRELOAD");
  const std::string all = preload && *preload ? driver + ":" + preload : driver;
  setenv("LD_PRELOAD", all.c_str(), 1);
  setenv("TWINFOLD_SCRIPT", path.c_str(), 1);
  setenv("TWINFOLD_SPEED", std::to_string(speed).c_str(), 1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && !std::strcmp(argv[1], "--help")) {
    usage(stdout);
    return 0;
  }
  std::string level, replay;
  bool packreplays = false;  // --replay alone: the pack's own
  long speed = 1;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    char* end = nullptr;
    if (a == "--replay" && !packreplays && replay.empty() &&
        (i + 1 == argc || !std::strncmp(argv[i + 1], "--", 2))) {
      packreplays = true;
    } else if (a == "--replay" && i + 1 < argc && replay.empty() && !packreplays) {
      replay = argv[++i];
    } else if (a == "--speed" && i + 1 < argc) {
      speed = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || end == argv[i] || speed < 0 || speed > 1000) level = "-";
    } else if (level.empty() && (a[0] != '-' || a.size() == 1)) {
      level = a;
    } else {
      level = "-";
    }
  }
  if (level.empty() || level == "-" || (replay.empty() && !packreplays && argc != 2)) {
    usage(stderr);
    return 2;
  }


  // 1. What the game needs: the level, the game's data and the game itself.
  const std::string dir = owndir();
  const std::string data = findfirst(dir + "/../share/games/twinfold", dir + "/game", isdir);
  const std::string engine =
      findfirst(dir + "/../lib/games/twinfold/twinfold", dir + "/twinfold", isprogram);
  struct stat st;
  if (stat(level.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(level.c_str(), R_OK) != 0) {
    std::fprintf(stderr, "%s: cannot be opened\n", level.c_str());
    return 1;
  }
  if (data.empty()) {
    std::fprintf(stderr,
                 "twinfold-play: game data not found in %s/../share/games/twinfold or %s/game\n",
                 dir.c_str(), dir.c_str());
    return 1;
  }
  if (engine.empty()) {
    std::fprintf(stderr,
                 "twinfold-play: the game not found at %s/../lib/games/twinfold/twinfold or "
                 "%s/twinfold\n",
                 dir.c_str(), dir.c_str());
    return 1;
  }

  // 2. A pack: checked and unpacked, its first level the one to play.
  const bool ispack = lookslikepack(level);
  if (packreplays && !ispack) {
    usage(stderr);
    return 2;
  }
  const std::string given = level;
  std::string unpacked;  // the pack's folder, removed with the game's
  std::vector<std::vector<ReplayLine>> replays;
  std::string err;
  if (ispack) {
    PackContents pack;
    std::vector<std::string> refusals;
    if (!unpacktotemp(level, pack, unpacked, refusals)) {
      for (const std::string& r : refusals) std::fprintf(stderr, "%s\n", r.c_str());
      return 1;
    }
    for (const PackLevel& l : packchain(pack)) {
      replays.emplace_back();
      std::istringstream in(*packdata(pack, l.replay));
      readreplay(in, l.replay, replays.back(), err);  // the reader took it already
    }
    level = unpacked + "/" + pack.manifest.first;
  } else if (!replay.empty()) {
    replays.emplace_back();
    if (!readreplayfile(replay, replays.back(), err)) {
      std::fprintf(stderr, "%s\n", err.c_str());
      return 1;
    }
  }

  // 3. The folder, and what the game would stop on.
  PlayFolder folder;
  if (!layplayfolder(data, level, folder, err)) {
    std::fprintf(stderr, "twinfold-play: %s\n", err.c_str());
    removeplayfolder(unpacked);
    return 1;
  }
  for (const std::string& w : folder.warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
  if ((!replay.empty() || packreplays) &&
      !preparereplay(dir, folder.path, given, packreplays ? given : replay, replays, speed, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    removeplayfolder(folder.path);
    removeplayfolder(unpacked);
    return 1;
  }

  // 4. The game in it. Quit requests reach this program first when it is
  // signalled alone: they are passed on, and the folder goes once the game
  // has ended. Blocked across the fork so none is lost before game is set.
  struct sigaction act {};
  act.sa_handler = passon;
  sigemptyset(&act.sa_mask);
  const int quits[] = {SIGINT, SIGTERM, SIGHUP};
  sigset_t block, old;
  sigemptyset(&block);
  for (int s : quits) sigaddset(&block, s);
  sigprocmask(SIG_BLOCK, &block, &old);
  for (int s : quits) sigaction(s, &act, nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = fork();
  if (pid == 0) {
    for (int s : quits) signal(s, SIG_DFL);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    if (chdir(folder.path.c_str()) != 0) _exit(127);
    execl(engine.c_str(), "twinfold", static_cast<char*>(nullptr));
    std::fprintf(stderr, "twinfold-play: %s cannot be started: %s\n", engine.c_str(),
                 std::strerror(errno));
    _exit(127);
  }
  if (pid > 0) game = pid;
  sigprocmask(SIG_SETMASK, &old, nullptr);
  if (pid < 0) {
    std::fprintf(stderr, "twinfold-play: the game cannot be started: %s\n", std::strerror(errno));
    removeplayfolder(folder.path);
    removeplayfolder(unpacked);
    return 1;
  }

  // 5. Wait for it, through any signals passed on, then clean up.
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  game = 0;
  removeplayfolder(folder.path);
  removeplayfolder(unpacked);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}
