// SHA-256 of a run of bytes, as a pack's manifest records each file's.
#pragma once
#include <string>

// The digest of bytes as 64 lower-case hex digits.
std::string sha256hex(const std::string& bytes);
