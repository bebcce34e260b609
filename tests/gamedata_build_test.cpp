// The game data's build steps (cmake/gamedata.cmake) in a small project of
// their own: two levels, the menu's page sources and a short tune, with the
// content tools replaced by scripts that log every run and hand on to the
// built tools. A build with nothing changed runs no tool; a touched level
// draws that level's pictures alone; a changed tool makes again what it
// makes, and nothing else.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "e2e.h"
#include "tempdir.h"

namespace fs = std::filesystem;

namespace {

using e2e::slurp;

std::string quote(const std::string& s) { return "'" + s + "'"; }

// Runs a shell command; its exit status, or -1 when it did not exit.
int shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Every file of a folder with its modification time.
std::map<std::string, fs::file_time_type> times(const std::string& dir) {
  std::map<std::string, fs::file_time_type> out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) out[fs::relative(e.path(), dir).string()] = e.last_write_time();
  }
  return out;
}

// The files written (or made) since the times in before were taken.
std::vector<std::string> written(const std::map<std::string, fs::file_time_type>& before,
                                 const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& [name, when] : times(dir)) {
    auto was = before.find(name);
    if (was == before.end() || was->second != when) out.push_back(name);
  }
  return out;
}

class GameDataBuild : public ::testing::Test {
 protected:
  TempDir dir;
  std::string log, game;

  void SetUp() override {
    const std::string src = TWINFOLD_SOURCE_DIR, bin = TWINFOLD_BINARY_DIR;
    log = dir / "tools.log";
    game = dir / "build/game";
    fs::create_directories(dir / "data/levels");
    fs::create_directories(dir / "data/art");
    fs::create_directories(dir / "tools");
    for (const char* level : {"tutorial1.lvl", "tutorial2.lvl"})
      fs::copy_file(src + "/data/levels/" + level, dir / "data/levels/" + level);
    fs::copy_file(src + "/data/art/palettes.txt", dir / "data/art/palettes.txt");
    fs::create_directories(dir / "data/media");
    for (const char* page : {"story.txt", "credits.txt"})
      fs::copy_file(src + "/data/media/" + page, dir / "data/media/" + page);
    // Four notes, where the game's tracks take seconds to render and encode.
    dir.write("data/media/tune.score",
              "tempo 240\nsteps 1\npeak 8000\n"
              "voice bell sine a=0.003 d=0.1 s=0.1 r=0.1 vol=0.3\n"
              "pattern one 4\nbell | A4 - C5 -\nend\nsong one\n");
    std::string project =
        "cmake_minimum_required(VERSION 3.20)\n"
        "project(gamedata NONE)\n";
    for (const char* tool : {"art", "media", "adx"}) {
      std::string name = std::string("twinfold-") + tool, path = dir / ("tools/" + name);
      dir.write("tools/" + name, "#!/bin/sh\necho \"" + std::string(tool) + " $*\" >>" + quote(log) +
                                     "\nexec " + quote(bin + "/" + name) + " \"$@\"\n");
      fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);
      project += "add_executable(" + name + " IMPORTED)\nset_target_properties(" + name +
                 " PROPERTIES IMPORTED_LOCATION " + path + ")\n";
    }
    project += "include(" + src + "/cmake/gamedata.cmake)\n";
    dir.write("CMakeLists.txt", project);
    // Ninja where it is installed, as make configures: its builds start at once.
    std::string generator = shell("command -v ninja >/dev/null") == 0 ? " -G Ninja" : "";
    std::string out = dir / "configure.log";
    ASSERT_EQ(shell(quote(TWINFOLD_CMAKE_COMMAND) + " -S " + quote(dir.path) + " -B " +
                    quote(dir / "build") + generator + " >" + quote(out) + " 2>&1"),
              0)
        << slurp(out);
  }

  // Builds the game data; the tools that ran, one line each.
  std::vector<std::string> build() {
    fs::remove(log);
    std::string out = dir / "build.log";
    EXPECT_EQ(shell(quote(TWINFOLD_CMAKE_COMMAND) + " --build " + quote(dir / "build") +
                    " --target game -j 2 >" + quote(out) + " 2>&1"),
              0)
        << slurp(out);
    return fs::exists(log) ? lines(slurp(log)) : std::vector<std::string>{};
  }

  void touch(const std::string& path) {
    fs::last_write_time(path, fs::file_time_type::clock::now());
  }
};

TEST_F(GameDataBuild, MakesOnlyWhatChangedSourcesAndToolsMake) {
  // From nothing: each level drawn on its own, the sprites, the tune
  // rendered and encoded, the menu's pictures and the effects.
  std::vector<std::string> ran = build();
  EXPECT_EQ(ran.size(), 7u) << slurp(log);
  for (const char* f : {"tutorial1.lvl", "tutorial1.png", "tutorial1.a.png", "tutorial1.bg.png",
                        "tutorial2.png", "orvik_spritesheet.bmp", "tune.adx", "orvik_menu.png",
                        "audio/pickup.wav"})
    EXPECT_TRUE(fs::is_regular_file(game + "/" + f)) << f;

  // Nothing changed: no tool runs, no file is written.
  std::map<std::string, fs::file_time_type> before = times(game);
  EXPECT_EQ(build(), std::vector<std::string>{});
  EXPECT_EQ(written(before, game), std::vector<std::string>{});

  // One level's file: its pictures alone are drawn, and its file copied.
  touch(dir / "data/levels/tutorial2.lvl");
  ran = build();
  ASSERT_EQ(ran.size(), 1u) << slurp(log);
  EXPECT_NE(ran[0].find("/tutorial2 "), std::string::npos) << ran[0];
  // Its pictures come out the same, so they are left as they were.
  EXPECT_EQ(written(before, game), std::vector<std::string>{"tutorial2.lvl"});

  // The encoder changed: the tune is encoded again, from the WAV it has.
  touch(dir / "tools/twinfold-adx");
  ran = build();
  ASSERT_EQ(ran.size(), 1u) << slurp(log);
  EXPECT_EQ(ran[0].rfind("adx encode ", 0), 0u) << ran[0];
  EXPECT_EQ(build(), std::vector<std::string>{});
}

}  // namespace
