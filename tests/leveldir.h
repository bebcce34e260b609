// LevelDir: a fresh temporary folder for level fixtures, removed with its
// contents when the test ends.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class LevelDir {
 public:
  LevelDir() {
    char pattern[] = "/tmp/twinfold-level-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    path = made ? made : "";
  }
  ~LevelDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  LevelDir(const LevelDir&) = delete;
  LevelDir& operator=(const LevelDir&) = delete;

  // Writes text byte for byte (NUL bytes included) and returns the file's path.
  std::string write(const std::string& name, const std::string& text) const {
    std::string file = path + "/" + name;
    std::ofstream out(file, std::ios::binary);
    out.write(text.data(), std::streamsize(text.size()));
    return file;
  }

  std::string path;  // the folder, without a trailing slash
};
