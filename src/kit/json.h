// JSON for the tools' --json output, the form other programs (the level
// editor's extension) read instead of the human messages.
#pragma once
#include <cstdint>
#include <string>

// A JSON string. Names are bytes: control characters and bytes above 0x7f
// are written as \u00XX, so the output is always plain ASCII.
std::string jsonquoted(const std::string& s);

// {"x": X, "y": Y}
std::string jsonpoint(int64_t x, int64_t y);
