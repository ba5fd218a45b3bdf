// Edit mode on the graphics device, offscreen at a tiny size with the fixed clock: the frames
// it shows settle to what the capture tool renders, however they were reached; with the
// overlay off they are the presentation's pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>

#include "app/timeline_file.h"
#include "edit/editor.h"
#include "platform/window.h"
#include "tests/app/presentation_test_support.h"
#include "timeline/writer.h"

namespace {

namespace fs = std::filesystem;
constexpr uint32_t kWidth = 32, kHeight = 18;

using Frames = std::map<uint32_t, std::vector<uint8_t>>;

// What tarnix-capture writes at 60 fps: the presentation on the fixed clock, output frame n
// being the n-th frame after the one that starts the music. Frames up to `last`; those in
// `wanted` are kept.
Frames captureFrames(const std::vector<uint32_t>& wanted, uint32_t last, uint32_t outputWidth = 0, uint32_t outputHeight = 0) {
  ValidationScope validation;
  auto p = std::make_unique<Presentation>();
  PresentationOptions options = smallOffscreenOptions(kWidth, kHeight);
  options.outputWidth = outputWidth;
  options.outputHeight = outputHeight;
  options.timeline = loadBuiltInTimeline();
  startPresentation(*p, options);
  Frames frames;
  while (!p->lastFrame.passesRecorded) runFrame(*p);
  for (uint32_t n = 0; n <= last; ++n) {
    runFrame(*p);
    EXPECT_EQ(p->lastFrame.simulationFrame, n);
    if (std::find(wanted.begin(), wanted.end(), n) != wanted.end()) frames[n] = readPresentedFrame(*p);
  }
  shutdownPresentation(*p);
  return frames;
}

struct EditorGpu : ::testing::Test {
  std::string directory = (fs::temp_directory_path() / ("tarnix-editor-" + std::to_string(std::random_device{}()))).string();
  std::string file = directory + "/show.json";
  std::unique_ptr<ValidationScope> validation;
  std::unique_ptr<Presentation> presentation = std::make_unique<Presentation>();
  Presentation& p = *presentation;
  Editor editor;

  void SetUp() override {
    fs::create_directories(directory);
    std::string message;
    ASSERT_TRUE(writeBuiltInTimelineFile(file, &message)) << message;
  }
  void start(uint32_t outputWidth = 0, uint32_t outputHeight = 0) {
    validation = std::make_unique<ValidationScope>();
    PresentationOptions options = smallOffscreenOptions(kWidth, kHeight);
    options.outputWidth = outputWidth;
    options.outputHeight = outputHeight;
    options.timeline = readTimelineFile(file, &error);
    ASSERT_NE(options.timeline, nullptr) << error;
    startPresentation(p, options);
    ASSERT_TRUE(startEditor(editor, p, file));
    editor.hud.visible = false;
  }
  void TearDown() override {
    stopEditor(editor);
    shutdownPresentation(p);
    validation.reset();
    std::error_code ignored;
    fs::remove_all(directory, ignored);
  }
  void press(uint32_t key, bool shift = false) {
    inputState.keyDown[VK_SHIFT] = shift;
    inputState.keyPressed[key] = 1;
    ASSERT_TRUE(runEditorFrame(editor));
    inputState.keyDown[VK_SHIFT] = 0;
  }
  // Iterations until the editor has shown `frame`.
  void playTo(uint32_t frame) {
    for (int i = 0; i < 100000 && !(editor.shownFrame == frame && p.lastFrame.passesRecorded); ++i) ASSERT_TRUE(runEditorFrame(editor));
    ASSERT_EQ(editor.shownFrame, frame);
  }
  std::string error;
};

size_t differingBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t count = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) count += a[i] != b[i];
  return count + (a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

}  // namespace

// Measures how the frames after a seek come back to the capture's: prints, per frame after
// the jump, how many bytes differ.
TEST_F(EditorGpu, AfterASeekTheFramesSettleToTheCapture) {
  const uint32_t target = 1200, settle = 240;
  std::vector<uint32_t> wanted;
  for (uint32_t n = target; n <= target + settle; ++n) wanted.push_back(n);
  const Frames capture = captureFrames(wanted, target + settle);

  start();
  playTo(30);
  // Paused, from frame 0 to the target in steps of a second, then playing on.
  press(VK_SPACE);
  press(VK_HOME);
  for (int i = 0; i < 20; ++i) press(VK_RIGHT);
  ASSERT_EQ(editor.shownFrame, target);
  press(VK_SPACE);
  uint32_t identicalFrom = UINT32_MAX;
  for (uint32_t n = target + 1; n <= target + settle; ++n) {
    playTo(n);
    const size_t differing = differingBytes(readPresentedFrame(p), capture.at(n));
    if (differing == 0 && identicalFrom == UINT32_MAX) identicalFrom = n;
    if (differing != 0) identicalFrom = UINT32_MAX;
    if ((n - target) % 10 == 0) printf("frame %u: %zu bytes differ\n", n, differing);
  }
  printf("identical to the capture from frame %u on (%u frames after the seek)\n", identicalFrom, identicalFrom - target);
  EXPECT_NE(identicalFrom, UINT32_MAX);
}

// The overlay covers a band at the top of the window; everything below it is the
// presentation's pixels. Hidden, it leaves every pixel as the presentation has it.
TEST_F(EditorGpu, TheOverlayChangesOnlyItsBand) {
  const uint32_t width = 320, height = 180;
  const Frames capture = captureFrames({600, 601, 602}, 602, width, height);
  start(width, height);
  editor.hud.visible = true;
  playTo(600);
  const std::vector<uint8_t> shown = readPresentedFrame(p);
  const uint32_t band = overlayHeight(editor.hud.text);
  ASSERT_LT(band, height / 2);
  const size_t bandBytes = size_t(band) * width * 4;
  EXPECT_EQ(std::vector<uint8_t>(shown.begin() + bandBytes, shown.end()),
            std::vector<uint8_t>(capture.at(600).begin() + bandBytes, capture.at(600).end()));
  EXPECT_GT(differingBytes(std::vector<uint8_t>(shown.begin(), shown.begin() + bandBytes),
                           std::vector<uint8_t>(capture.at(600).begin(), capture.at(600).begin() + bandBytes)),
            bandBytes / 4);
}
