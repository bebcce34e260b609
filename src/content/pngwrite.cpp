// PNG writing through libpng's simplified writer, into a temporary file that
// is renamed over the target only once it is complete.
#include "content/pngwrite.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

bool writepngfile(const std::string& path, int width, int height, int channels,
                  const uint8_t* pixels, bool fast, std::string& err) {
  // 1. What libpng takes: a non-empty picture whose rows fit a signed stride.
  if (width <= 0 || height <= 0 || (channels != 3 && channels != 4) ||
      int64_t{width} * channels > INT32_MAX) {
    err = path + ": cannot be written: a " + std::to_string(width) + " by " +
          std::to_string(height) + " picture is not one a PNG can hold";
    return false;
  }
  // 2. A unique temporary name in the target's folder, so the rename stays
  // within one file system.
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    err = path + ": cannot be written";
    return false;
  }
  // mkstemp makes the file private; a picture is for everyone to read.
  fchmod(fd, 0644);
  std::FILE* f = fdopen(fd, "wb");
  if (!f) {
    close(fd);
    std::remove(temp.c_str());
    err = path + ": cannot be written";
    return false;
  }
  // 3. The simplified writer reports failure in its result; no error jump.
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  image.flags = fast ? PNG_IMAGE_FLAG_FAST : 0;
  const bool written = png_image_write_to_stdio(&image, f, 0, pixels, width * channels, nullptr);
  std::string message = written ? "" : image.message;
  png_image_free(&image);
  // 4. Closing flushes the last bytes; only a complete file gets the name.
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    err = path + ": cannot be written" + (message.empty() ? "" : ": " + message);
    return false;
  }
  return true;
}
