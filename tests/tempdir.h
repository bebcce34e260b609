// TempDir: a fresh folder under /tmp for one test's files, removed with its
// contents when the test ends.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/twinfold-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    path = made ? made : "";
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string file(const std::string& name) const { return path + "/" + name; }
  std::string operator/(const std::string& name) const { return file(name); }

  // Writes text byte for byte (NUL bytes included) and returns the file's path.
  std::string write(const std::string& name, const std::string& text) const {
    std::string f = file(name);
    std::ofstream out(f, std::ios::binary);
    out.write(text.data(), std::streamsize(text.size()));
    return f;
  }

  std::string path;  // the folder, without a trailing slash
};
