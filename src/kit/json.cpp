// JSON for the tools' --json output.
#include "kit/json.h"

#include <cstdio>

std::string jsonquoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", unsigned(c));
      out += esc;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

std::string jsonpoint(int64_t x, int64_t y) {
  return "{\"x\": " + std::to_string(x) + ", \"y\": " + std::to_string(y) + "}";
}
