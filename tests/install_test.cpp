// The installed game: `cmake --install` into a scratch DESTDIR with the
// package's prefix holds every file in Debian's layout for games, the desktop's
// validators accept its menu entry and AppStream record, and the installed
// launcher starts the game in its data folder from any working directory, or,
// in a broken install, says where it looked and starts nothing.
#include <gtest/gtest.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "e2e.h"
#include "graphics/bitmap.h"
#include "tempdir.h"

namespace fs = std::filesystem;

namespace {

const std::string build = TWINFOLD_BINARY_DIR;
const char* const tools[] = {"check", "solve", "replay", "preview", "play", "level", "difficulty", "pack"};
const int iconsizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

using e2e::slurp;
using e2e::waitfor;

// Runs a shell command; its exit status, or -1 when it did not exit.
int shell(const std::string& command) {
  int status = system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quote(const std::string& s) { return "'" + s + "'"; }

bool executable(const std::string& path) {
  return fs::is_regular_file(path) && access(path.c_str(), X_OK) == 0;
}

// Every regular file under dir, by its path relative to dir, with its size.
std::map<std::string, uintmax_t> tree(const std::string& dir) {
  std::map<std::string, uintmax_t> files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files[fs::relative(e.path(), dir).string()] = e.file_size();
  return files;
}

// A PNG's width and height, 0 by 0 when it is none.
std::pair<int, int> pngsize(const std::string& path) {
  int w = 0, h = 0;
  if (!::pngsize(path, &w, &h)) return {0, 0};
  return {w, h};
}

class Installed : public ::testing::Test {
 protected:
  TempDir destdir;
  std::string usr;  // the installed prefix, /usr under destdir

  void SetUp() override {
    ASSERT_TRUE(fs::exists(build + "/game/tutorial1.lvl")) << "game data missing: run make";
    usr = destdir.path + "/usr";
    // As the package is made: prefix /usr, programs stripped.
    std::string log = destdir / "install.log";
    ASSERT_EQ(shell("DESTDIR=" + quote(destdir.path) + " " + quote(TWINFOLD_CMAKE_COMMAND) +
                    " --install " + quote(build) + " --prefix /usr --strip >" + quote(log) +
                    " 2>&1"),
              0)
        << slurp(log);
  }
};

TEST_F(Installed, HoldsEveryFileInTheGamesLayout) {
  EXPECT_TRUE(executable(usr + "/games/twinfold"));
  EXPECT_TRUE(executable(usr + "/lib/games/twinfold/twinfold"));
  EXPECT_TRUE(fs::is_regular_file(usr + "/share/man/man6/twinfold.6.gz"));

  // Each level tool that is built is installed with its manual page; the
  // programs that make the content are not.
  for (const char* t : tools) {
    std::string name = std::string("twinfold-") + t;
    if (!fs::exists(build + "/" + name)) continue;
    EXPECT_TRUE(executable(usr + "/games/" + name)) << name;
    EXPECT_TRUE(fs::is_regular_file(usr + "/share/man/man6/" + name + ".6.gz")) << name;
  }
  for (const auto& e : fs::directory_iterator(usr + "/games")) {
    std::string name = e.path().filename();
    bool known = name == "twinfold";
    for (const char* t : tools) known = known || name == std::string("twinfold-") + t;
    EXPECT_TRUE(known) << name << " is not a program a player or level maker runs";
  }

  // The data folder is the game folder the build made, file for file.
  std::map<std::string, uintmax_t> data = tree(usr + "/share/games/twinfold");
  for (auto it = data.begin(); it != data.end();)
    it = it->first.rfind("tiled/", 0) == 0 ? data.erase(it) : std::next(it);
  EXPECT_EQ(data, tree(build + "/game"));

  for (int size : iconsizes) {
    std::string icon = usr + "/share/icons/hicolor/" + std::to_string(size) + "x" +
                       std::to_string(size) + "/apps/twinfold.png";
    EXPECT_EQ(pngsize(icon), std::make_pair(size, size)) << icon;
  }
  EXPECT_TRUE(fs::is_regular_file(usr + "/share/applications/twinfold.desktop"));
  EXPECT_TRUE(fs::is_regular_file(usr + "/share/metainfo/org.twinfold.twinfold.metainfo.xml"));

  // Relocatable: no path of this machine's source or build tree is baked in.
  // A sanitizer build names its source files in its reports, so only the
  // plain build is held to this.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  for (const auto& e : fs::recursive_directory_iterator(usr)) {
    if (!e.is_regular_file() || e.path().string().find("/share/games/") != std::string::npos)
      continue;
    std::string bytes = slurp(e.path());
    EXPECT_EQ(bytes.find(TWINFOLD_SOURCE_DIR), std::string::npos) << e.path();
    EXPECT_EQ(bytes.find(build), std::string::npos) << e.path();
  }
#endif
}

TEST_F(Installed, MenuEntryRecordAndManualPagesPassTheirCheckers) {
  std::string desktop = usr + "/share/applications/twinfold.desktop";
  std::string log = destdir / "check.log";
  EXPECT_EQ(shell("desktop-file-validate " + quote(desktop) + " >" + quote(log) + " 2>&1"), 0);
  EXPECT_EQ(slurp(log), "");  // hints count too
  EXPECT_EQ(shell("appstreamcli validate --no-net " +
                  quote(usr + "/share/metainfo/org.twinfold.twinfold.metainfo.xml") + " >" +
                  quote(log) + " 2>&1"),
            0)
      << slurp(log);

  // The entry starts the installed launcher and shows the installed icon.
  std::string entry = slurp(desktop);
  EXPECT_NE(entry.find("\nExec=/usr/games/twinfold\n"), std::string::npos) << entry;
  EXPECT_TRUE(executable(usr + "/games/twinfold"));
  EXPECT_NE(entry.find("\nIcon=twinfold\n"), std::string::npos) << entry;

  for (const auto& e : fs::directory_iterator(usr + "/share/man/man6")) {
    std::string page = e.path();
    EXPECT_EQ(shell("zcat " + quote(page) + " | groff -man -ww -z >" + quote(log) + " 2>&1"), 0);
    EXPECT_EQ(slurp(log), "") << page;
    EXPECT_EQ(shell("zcat " + quote(page) + " | grep -q @VERSION@"), 1) << page;
  }
}

TEST_F(Installed, BrokenInstallNamesTheFolderAndStartsNothing) {
  fs::rename(usr + "/share/games/twinfold", usr + "/share/games/moved");
  TempDir elsewhere;
  std::string out = elsewhere / "stdout", err = elsewhere / "stderr";
  // Bounded, in case a launcher starts the engine after all.
  EXPECT_EQ(shell("cd " + quote(elsewhere.path) + " && timeout 60 " +
                  quote(usr + "/games/twinfold") + " >" + quote(out) + " 2>" + quote(err)),
            1);
  EXPECT_EQ(slurp(out), "");
  EXPECT_NE(slurp(err).find(fs::canonical(usr).string() + "/share/games/twinfold"),
            std::string::npos)
      << slurp(err);
}

// The installed game on a display of its own, read back through X.
class InstalledRun : public Installed {
 protected:
  e2e::TestDisplay display;
  pid_t pid = -1;

  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  // The share of the screen's pixels, on a 4-pixel grid, within 24 per channel
  // of the picture (drawn at the top left, rows top first, blue, green, red).
  double screenmatches(const Bitmap& picture) {
    e2e::Shot shot = display.shot();
    if (shot.empty()) return 0;
    int same = 0, all = 0;
    for (int py = 0; py < 768 && py < picture.height; py += 4)
      for (int px = 0; px < 1024 && px < picture.width; px += 4) {
        const unsigned char* want = picture.pixels + py * picture.pitch + px * picture.bytespp;
        same += e2e::near(shot.at(px, py), e2e::Rgb{want[2], want[1], want[0]}, 24);
        all++;
      }
    return all ? double(same) / all : 0;
  }
};

TEST_F(InstalledRun, LauncherStartsTheTitleScreenFromAnyFolderAndClosesCleanly) {
  ASSERT_TRUE(display.ok()) << "could not start Xvfb";
  TempDir elsewhere;
  std::string out = elsewhere / "stdout", err = elsewhere / "stderr";
  std::string launcher = usr + "/games/twinfold";
  pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(elsewhere.path.c_str()) != 0) _exit(127);
    freopen(out.c_str(), "w", stdout);
    freopen(err.c_str(), "w", stderr);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    execl(launcher.c_str(), "twinfold", static_cast<char*>(nullptr));
    _exit(127);
  }
  // The sound files are the last the start-up loads; the loop runs next.
  ASSERT_TRUE(waitfor([&] { return slurp(out).find("wave loaded") != std::string::npos; },
                      60000))
      << slurp(out) << slurp(err);
  EXPECT_EQ(slurp(out).substr(0, 25), "Twinfold Engine starting\n");

  // The launcher became the engine, working in the installed data folder.
  std::string data = fs::canonical(usr + "/share/games/twinfold");
  std::string proc = "/proc/" + std::to_string(pid);
  EXPECT_EQ(fs::read_symlink(proc + "/cwd").string(), data);
  EXPECT_EQ(fs::read_symlink(proc + "/exe").string(),
            fs::canonical(usr + "/lib/games/twinfold/twinfold").string());

  // The title picture fills the screen; the buttons and the pointer cover
  // the rest.
  Bitmap title((data + "/orvik_menu.png").c_str());
  double share = 0;
  EXPECT_TRUE(waitfor([&] { return (share = screenmatches(title)) > 0.85; }, 60000))
      << "the screen matches the title picture at " << share;

  // Closing the window is a quit request: the game ends with status 0.
  int status = 0;
  bool asked = false;
  ASSERT_TRUE(waitfor([&] {
    asked = display.closewindows() > 0 || asked;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) pid = -1;
    return r == pid || pid == -1;
  }, 60000)) << slurp(err);
  EXPECT_TRUE(asked) << "no window took WM_DELETE_WINDOW";
  ASSERT_TRUE(WIFEXITED(status)) << slurp(err);
  EXPECT_EQ(WEXITSTATUS(status), 0) << slurp(err);
}

}  // namespace
