// tarnix-look: how alike the presentation looks at two render sizes. Each timeline frame is
// rendered at both sizes as edit mode renders it after a seek (the simulation re-run with the
// capture's fixed step, the temporal history started over some frames before), the larger
// picture is reduced to the smaller by averaging the area each small pixel covers, and the
// PSNR of the two is printed, per frame and channel-averaged.
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/timeline_file.h"
#include "edit/editor.h"
#include "gpu/render_app.h"
#include "platform/wave_out.h"

namespace {

struct Size {
  uint32_t width = 0, height = 0;
};

struct LookOptions {
  Size small{128, 72}, large{480, 270};
  std::vector<uint32_t> frames{1000, 4500};
  uint32_t settle = 120;      // frames rendered after the seek before the compared one
  uint32_t lookHeight = 540;  // 0: each render at its own arithmetic (nothing scales)
  std::string out;            // a directory for the pictures, or none
};

using Picture = std::vector<uint8_t>;  // RGBA bytes

const char* kUsage =
    "usage: tarnix-look [--small WxH] [--large WxH] [--frames F1,F2,...] [--settle N]\n"
    "                   [--look-height H] [--out DIRECTORY]\n"
    "Renders each timeline frame at both sizes (defaults 128x72 and 480x270, frames 1000 and\n"
    "4500), each after N frames since a seek (default 120), reduces the large picture to the\n"
    "small size and prints their PSNR. --look-height: the program's own height whose look both\n"
    "keep (default 540; 0 renders without scaling). --out writes both pictures as PNGs.\n";

bool parseSize(const char* text, Size* size) {
  unsigned w = 0, h = 0;
  char end = 0;
  if (sscanf(text, "%ux%u%c", &w, &h, &end) != 2 || w == 0 || w % 32 != 0 || h == 0 || w > 7680 || h > 7680)
    return false;
  *size = {w, h};
  return true;
}

bool parseFrames(const char* text, std::vector<uint32_t>* frames) {
  frames->clear();
  for (const char* p = text; *p != 0;) {
    char* end = nullptr;
    unsigned long frame = strtoul(p, &end, 10);
    if (end == p || frame > kEndFrameIndex || (*end != ',' && *end != 0)) return false;
    frames->push_back(uint32_t(frame));
    p = *end == ',' ? end + 1 : end;
  }
  return !frames->empty();
}

bool parseOptions(int argc, char** argv, LookOptions* o) {
  for (int i = 1; i < argc; i += 2) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[i + 1];
    char* end = nullptr;
    bool ok = true;
    if (name == "--small") ok = parseSize(value, &o->small);
    else if (name == "--large") ok = parseSize(value, &o->large);
    else if (name == "--frames") ok = parseFrames(value, &o->frames);
    else if (name == "--settle") o->settle = uint32_t(strtoul(value, &end, 10)), ok = *end == 0 && o->settle < 2000;
    else if (name == "--look-height") o->lookHeight = uint32_t(strtoul(value, &end, 10)), ok = *end == 0;
    else if (name == "--out") o->out = value;
    else ok = false;
    if (!ok) return false;
  }
  return true;
}

bool writePng(const std::string& path, const Picture& rgba, Size size) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = size.width;
  image.height = size.height;
  image.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

// Every wanted frame at one render size, each `settle` frames after a seek.
std::vector<Picture> renderAt(Size size, const LookOptions& o, const std::string& timelinePath) {
  auto presentation = std::make_unique<Presentation>();
  Presentation& p = *presentation;
  PresentationOptions options;
  options.renderWidth = size.width;
  options.renderHeight = size.height;
  options.lookHeight = o.lookHeight;
  options.offscreen = true;
  options.fixedClock = true;
  options.waveOut = silentWaveOutApi();
  std::string message;
  const OsFileStamp loaded = osFileStampOf(timelinePath.c_str());
  options.timeline = readTimelineFile(timelinePath, &message);
  if (options.timeline == nullptr) PANIC("%s\n", message.c_str());
  startPresentation(p, options);
  Editor editor;
  if (!startEditor(editor, p, timelinePath, loaded)) PANIC("the presentation ended before it started\n");
  editor.hud.visible = false;
  std::vector<Picture> pictures;
  for (uint32_t target : o.frames) {
    const uint32_t first = target > o.settle ? target - o.settle : 0;
    editor.restartHistory = true;
    for (uint32_t frame = first; frame <= target; ++frame) renderEditorFrame(editor, frame);
    Picture pixels(size_t(size.width) * size.height * 4);
    if (renderApp.swapChain->ReadBackBuffer(p.lastFrame.backBufferIndex, pixels.data(), size.width * 4) != gfx::kOk)
      PANIC("cannot read the rendered frame back\n");
    pictures.push_back(std::move(pixels));
    fprintf(stderr, "  %ux%u: frame %u rendered\n", size.width, size.height, target);
  }
  stopEditor(editor);
  shutdownPresentation(p);
  return pictures;
}

// The large picture reduced to `to`: each small pixel the mean of the large area it covers,
// partly covered pixels weighted by their share.
Picture reduce(const Picture& large, Size from, Size to) {
  Picture result(size_t(to.width) * to.height * 4);
  const double sx = double(from.width) / to.width, sy = double(from.height) / to.height;
  for (uint32_t y = 0; y < to.height; ++y) {
    for (uint32_t x = 0; x < to.width; ++x) {
      double sum[4] = {0, 0, 0, 0}, area = 0;
      const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
      for (uint32_t ly = uint32_t(y0); ly < from.height && ly < y1; ++ly) {
        const double wy = std::min(y1, ly + 1.0) - std::max(y0, double(ly));
        for (uint32_t lx = uint32_t(x0); lx < from.width && lx < x1; ++lx) {
          const double w = wy * (std::min(x1, lx + 1.0) - std::max(x0, double(lx)));
          if (w <= 0) continue;
          for (int c = 0; c < 4; ++c) sum[c] += w * large[(size_t(ly) * from.width + lx) * 4 + c];
          area += w;
        }
      }
      for (int c = 0; c < 4; ++c) result[(size_t(y) * to.width + x) * 4 + c] = uint8_t(std::lround(sum[c] / area));
    }
  }
  return result;
}

// Over the colour channels, in dB; identical pictures give infinity.
double psnr(const Picture& a, const Picture& b) {
  double squared = 0;
  size_t count = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (i % 4 == 3) continue;
    const double d = double(a[i]) - double(b[i]);
    squared += d * d;
    count += 1;
  }
  if (squared == 0) return INFINITY;
  return 10.0 * std::log10(255.0 * 255.0 / (squared / double(count)));
}

}  // namespace

int main(int argc, char** argv) {
  LookOptions o;
  if (!parseOptions(argc, argv, &o)) {
    fputs(kUsage, stderr);
    return 2;
  }
  namespace fs = std::filesystem;
  const std::string timelinePath = (fs::temp_directory_path() / ("tarnix-look-" + std::to_string(std::random_device{}()) + ".json")).string();
  std::string message;
  if (!writeBuiltInTimelineFile(timelinePath, &message)) {
    fprintf(stderr, "tarnix-look: %s\n", message.c_str());
    return 1;
  }
  const std::vector<Picture> small = renderAt(o.small, o, timelinePath);
  const std::vector<Picture> large = renderAt(o.large, o, timelinePath);
  fs::remove(timelinePath);
  for (size_t i = 0; i < o.frames.size(); ++i) {
    const Picture reduced = reduce(large[i], o.large, o.small);
    printf("frame %u: %ux%u against %ux%u reduced: %.1f dB\n", o.frames[i], o.small.width, o.small.height,
           o.large.width, o.large.height, psnr(small[i], reduced));
    if (!o.out.empty()) {
      fs::create_directories(o.out);
      const std::string stem = o.out + "/frame" + std::to_string(o.frames[i]) + "_";
      writePng(stem + std::to_string(o.small.width) + "x" + std::to_string(o.small.height) + ".png", small[i], o.small);
      writePng(stem + std::to_string(o.large.width) + "x" + std::to_string(o.large.height) + ".png", large[i], o.large);
      writePng(stem + "reduced.png", reduced, o.small);
    }
  }
  return 0;
}
