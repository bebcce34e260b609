// Every program under tools/ answers --help with its usage and exit statuses
// on standard output and status 0, and an unknown option, wherever it
// stands, with its usage on standard error and status 2.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tempdir.h"

namespace {

struct ToolRun {
  int status;       // exit status, -1 if the program did not exit
  std::string out;  // standard output
  std::string err;  // standard error
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ToolRun run(const TempDir& dir, const std::string& program, const std::string& arg) {
  const std::string cmd = "'" + program + "' " + arg + " >'" + dir / "out" + "' 2>'" + dir / "err" + "'";
  const int raw = std::system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "out"), slurp(dir / "err")};
}

bool startswith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

TEST(ToolsHelp, EveryToolAnswersHelpAndRefusesAnUnknownOption) {
  TempDir dir;
  int tools = 0;
  // A folder of tools/ with a main.cpp is a program, built as twinfold-<folder>.
  for (const auto& entry : std::filesystem::directory_iterator(std::string(TWINFOLD_SOURCE_DIR) + "/tools")) {
    if (!std::filesystem::exists(entry.path() / "main.cpp")) continue;
    const std::string name = "twinfold-" + entry.path().filename().string();
    const std::string program = std::string(TWINFOLD_BINARY_DIR) + "/" + name;
    ASSERT_TRUE(std::filesystem::exists(program)) << "build " << name << " first";
    tools++;

    ToolRun help = run(dir, program, "--help");
    EXPECT_EQ(help.status, 0) << name;
    EXPECT_TRUE(startswith(help.out, "usage: " + name)) << name << ":\n" << help.out;
    EXPECT_NE(help.out.find("xit status"), std::string::npos) << name << " does not say its exit statuses";
    EXPECT_EQ(help.err, "") << name;

    // The unknown option alone, and after a word that could be a file name.
    for (const char* args : {"--no-such-option", "x --no-such-option"}) {
      ToolRun wrong = run(dir, program, args);
      EXPECT_EQ(wrong.status, 2) << name << " " << args;
      EXPECT_TRUE(startswith(wrong.err, "usage: " + name)) << name << " " << args << ":\n" << wrong.err;
      EXPECT_EQ(wrong.out, "") << name << " " << args;
    }
  }
  EXPECT_GE(tools, 10);  // adx, art, check, difficulty, level, media, play, preview, replay, solve
}

}  // namespace
