// icon_png: writes the programs' icon, drawn at one size by package/icon_pixels.cmake, as an
// RGBA PNG for the desktop's icon theme. The build runs it; it is not installed.
//
//   icon_png PIXELS.txt OUTPUT.png
//
// Exit status: 0 written, 1 the input is not such a drawing or the PNG cannot be written,
// 2 bad arguments.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kLargestSide = 1024;

// The drawing's pixels as RGBA bytes, rows from the top; false with *error set.
bool readDrawing(const char* path, uint32_t* size, std::vector<uint8_t>* rgba, std::string* error) {
  std::ifstream in(path);
  std::string magic;
  if (!(in >> magic >> *size) || magic != "tarnix-icon" || *size == 0 || *size > kLargestSide) {
    *error = "not an icon drawing (a line \"tarnix-icon SIZE\" first)";
    return false;
  }
  const size_t count = size_t(*size) * *size;
  rgba->resize(count * 4);
  for (size_t i = 0; i < count; ++i) {
    std::string word;
    if (!(in >> word)) {
      *error = "it ends after " + std::to_string(i) + " of " + std::to_string(count) + " pixels";
      return false;
    }
    size_t used = 0;
    unsigned long argb = 0;
    try {
      argb = std::stoul(word, &used, 16);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != word.size() || argb > 0xFFFFFFFFul) {
      *error = "pixel " + std::to_string(i) + " is '" + word + "', not an ARGB word";
      return false;
    }
    uint8_t* p = rgba->data() + i * 4;
    p[0] = uint8_t(argb >> 16);
    p[1] = uint8_t(argb >> 8);
    p[2] = uint8_t(argb);
    p[3] = uint8_t(argb >> 24);
  }
  std::string extra;
  if (in >> extra) {
    *error = "more than " + std::to_string(count) + " pixels";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "Usage: icon_png PIXELS.txt OUTPUT.png\n");
    return 2;
  }
  uint32_t size = 0;
  std::vector<uint8_t> rgba;
  std::string error;
  if (!readDrawing(argv[1], &size, &rgba, &error)) {
    std::fprintf(stderr, "icon_png: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = size;
  image.height = size;
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, argv[2], 0, rgba.data(), 0, nullptr)) {
    std::fprintf(stderr, "icon_png: cannot write '%s': %s\n", argv[2], image.message);
    return 1;
  }
  return 0;
}
