// Edit mode on the graphics device, offscreen at a tiny size with the fixed clock: the frames
// it shows settle to what the capture tool renders, however they were reached; with the
// overlay off they are the presentation's pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <filesystem>
#include <map>
#include <random>

#include "app/timeline_file.h"
#include "audio/audio_renderer.h"
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
  // `duringStartUp` runs after the file is read and before the editor watches it.
  void start(uint32_t outputWidth = 0, uint32_t outputHeight = 0, const std::function<void()>& duringStartUp = {}) {
    validation = std::make_unique<ValidationScope>();
    PresentationOptions options = smallOffscreenOptions(kWidth, kHeight);
    options.outputWidth = outputWidth;
    options.outputHeight = outputHeight;
    const OsFileStamp loaded = osFileStampOf(file.c_str());
    options.timeline = readTimelineFile(file, &error);
    ASSERT_NE(options.timeline, nullptr) << error;
    if (duringStartUp) duringStartUp();
    startPresentation(p, options);
    ASSERT_TRUE(startEditor(editor, p, file, loaded));
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

// Seeks while paused (frame 0, then on to the target a second at a time: the simulation
// re-run from kept states, the temporal history started over at each), then playing on: the
// frames differ from the capture's while the history settles, then are the same bytes, every
// one of them. At 32 x 18 in the first scene that took 77 frames when measured.
TEST_F(EditorGpu, AfterASeekTheFramesSettleToTheCapture) {
  const uint32_t target = 1200, settle = 200, bound = 120;
  std::vector<uint32_t> wanted;
  for (uint32_t n = target; n <= target + settle; ++n) wanted.push_back(n);
  const Frames capture = captureFrames(wanted, target + settle);

  start();
  playTo(30);
  press(VK_SPACE);
  press(VK_HOME);
  for (int i = 0; i < 20; ++i) press(VK_RIGHT);
  ASSERT_EQ(editor.shownFrame, target);
  press(VK_SPACE);
  uint32_t identicalFrom = target;
  for (uint32_t n = target + 1; n <= target + settle; ++n) {
    playTo(n);
    if (differingBytes(readPresentedFrame(p), capture.at(n)) != 0) identicalFrom = n + 1;
  }
  printf("identical to the capture from frame %u on (%u frames after the seek)\n", identicalFrom, identicalFrom - target);
  EXPECT_LE(identicalFrom, target + bound);
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

// Each key's effect on the picture, the music and the file.
// The most a-trous steps the timeline may ask for, with the overlay drawn and a seek that re-runs
// the simulation: the frame still fits its descriptor heap (it stopped the program before).
TEST_F(EditorGpu, TheMostAtrousStepsFitWithTheOverlayAndASeek) {
  start();
  editor.hud.visible = true;
  holdUint(p, "AT::Steps", 13);
  playTo(30);
  press(VK_RIGHT, true);
  EXPECT_EQ(p.lastFrame.atrousIterations, 13u);
  EXPECT_GT(editor.replay.stepsRerun, 0u);
}

TEST_F(EditorGpu, EachKeyMovesThePictureTheMusicOrTheFile) {
  start();
  playTo(10);
  WaveOutStreamer& music = p.audio->streamer;
  press(VK_SPACE);  // pause: the music stops with the picture
  EXPECT_TRUE(editor.transport.paused);
  EXPECT_FALSE(music.playing.load());
  const uint32_t paused = editor.shownFrame;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(runEditorFrame(editor));
  EXPECT_EQ(editor.shownFrame, paused);
  press(VK_RIGHT, true);  // ten seconds on, the music with it
  EXPECT_EQ(editor.shownFrame, paused + 600);
  EXPECT_DOUBLE_EQ(music.positionSeconds(), double(paused + 600) / 60.0);
  press(VK_NEXT);
  EXPECT_EQ(editor.shownFrame, 3254u);
  press(VK_PRIOR);
  EXPECT_EQ(editor.shownFrame, 0u);
  press(VK_SPACE);  // playing again
  EXPECT_TRUE(music.playing.load());
  playTo(3);

  press('B');  // a bookmark at the frame shown, in the file at once
  std::string text, ignored;
  ASSERT_TRUE(osReadWholeFile(file.c_str(), &text, &ignored));
  EXPECT_NE(text.find("[0,3,3254,"), std::string::npos) << text.substr(0, 80);
  EXPECT_EQ(editor.notice, "bookmark added at frame 3");

  press('L');  // loop frames 3 to 3253
  EXPECT_TRUE(editor.transport.looping);
  EXPECT_EQ(editor.transport.loopStart, 3u);
  EXPECT_EQ(editor.transport.loopEnd, 3254u);

  press('H');
  EXPECT_TRUE(editor.hud.visible);
  press('H');
  EXPECT_FALSE(editor.hud.visible);
  press('F');  // fly forward, then write the camera here
  EXPECT_TRUE(editor.flying);
  const Float3 before = p.camera.position;
  inputState.keyDown['W'] = 1;
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(runEditorFrame(editor));
  inputState.keyDown['W'] = 0;
  EXPECT_NE(p.camera.position.z, before.z) << "W moves the flying camera";
  const uint32_t written = editor.shownFrame;
  const Float3 at = p.camera.position;  // where the camera was when C went down
  press('C');
  ASSERT_EQ(editor.notice, "camera keys written at frame " + std::to_string(written));
  const Keyframe* key = findTrack(p.timeline, "CM::Pos")->keys[written];
  ASSERT_NE(key, nullptr) << "the file's new timeline runs";
  EXPECT_EQ(key->value.float3[2], at.z);
  ASSERT_TRUE(osReadWholeFile(file.c_str(), &text, &ignored));
  EXPECT_NE(text.find("{\"frame\":" + std::to_string(written) + ",\"easing\":\"Linear\""), std::string::npos);
}

// Saves in the editor while it plays: a good one runs from the next frame, a bad one leaves
// the running timeline and is shown until a good version arrives.
TEST_F(EditorGpu, ReloadOnSaveKeepsTheRunningTimelineThroughAnError) {
  start(320, 180);
  playTo(5);
  std::string text, ignored;
  ASSERT_TRUE(osReadWholeFile(file.c_str(), &text, &ignored));
  auto save = [&](const std::string& content) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
    for (int i = 0; i < 50 && editor.reload.pending == false; ++i) {
      osSleepMs(5);
      ASSERT_TRUE(runEditorFrame(editor));
    }
    for (int i = 0; i < 100 && editor.reload.pending; ++i) {
      osSleepMs(5);
      ASSERT_TRUE(runEditorFrame(editor));
    }
  };
  const std::string key = "{\"frame\":579,\"easing\":\"None\",\"value\":1.000000}";
  std::string brighter = text;
  brighter.replace(brighter.find(key), key.size(), "{\"frame\":579,\"easing\":\"None\",\"value\":2.5}");
  save(brighter);
  EXPECT_EQ(findTrack(p.timeline, "CM::Bright")->keys[579]->value.floatValue, 2.5f);
  EXPECT_TRUE(editor.fileError.empty());

  save(brighter.substr(0, brighter.size() - 10));  // half a file
  EXPECT_EQ(findTrack(p.timeline, "CM::Bright")->keys[579]->value.floatValue, 2.5f) << "the running timeline stays";
  EXPECT_EQ(editor.fileError.rfind(file + ":1:", 0), 0u) << editor.fileError;
  const std::vector<std::string> lines = hudLines(editor);
  EXPECT_NE(std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return line.rfind("ERROR ", 0) == 0; }),
            lines.end());
  ASSERT_TRUE(runEditorFrame(editor));
  EXPECT_FALSE(editor.fileError.empty()) << "shown until a good version arrives";

  save(text);
  EXPECT_TRUE(editor.fileError.empty());
  EXPECT_EQ(findTrack(p.timeline, "CM::Bright")->keys[579]->value.floatValue, 1.0f);
}

// The page's change reaches the file before its timeline reaches the editor's loop, so the file
// watcher may read it first: it is still said to be the page's, and a save elsewhere is not.
TEST_F(EditorGpu, ThePagesChangeReadFromTheFileFirstIsStillThePages) {
  EditorLink link;
  ASSERT_TRUE(openEditorLink(link, file, 0, &error)) << error;
  const std::unique_ptr<EditorLink, void (*)(EditorLink*)> closing(&link, [](EditorLink* l) { closeEditorLink(*l); });
  start();
  editor.link = &link;
  playTo(5);
  std::string text;
  ASSERT_TRUE(osReadWholeFile(file.c_str(), &text, &error));
  const std::string key = "{\"frame\":579,\"easing\":\"None\",\"value\":1.000000}";
  auto changed = [&](const char* value) {
    std::string result = text;
    return result.replace(result.find(key), key.size(), std::string("{\"frame\":579,\"easing\":\"None\",\"value\":") + value + "}");
  };
  auto runUntilBright = [&](float value) {
    for (int i = 0; i < 200 && findTrack(p.timeline, "CM::Bright")->keys[579]->value.floatValue != value; ++i) {
      osSleepMs(5);
      ASSERT_TRUE(runEditorFrame(editor));
    }
    ASSERT_EQ(findTrack(p.timeline, "CM::Bright")->keys[579]->value.floatValue, value);
  };

  // The server thread's write, its hand-over not made yet.
  const std::string fromPage = changed("0.5");
  {
    std::lock_guard lock(link.document.mutex);
    link.document.store.writing(documentVersion(fromPage));
    ASSERT_TRUE(link.document.store.write(fromPage, &error)) << error;
  }
  runUntilBright(0.5f);
  EXPECT_EQ(editor.reloadNote.rfind("changed from the page", 0), 0u) << editor.reloadNote;

  std::ofstream(file, std::ios::binary | std::ios::trunc) << changed("2.5");
  runUntilBright(2.5f);
  EXPECT_EQ(editor.reloadNote.rfind("reloaded", 0), 0u) << editor.reloadNote;
}

// A save while the program starts (after the file was read) is not lost: the first frames
// reload it.
TEST_F(EditorGpu, ASaveDuringStartUpIsReloaded) {
  start(0, 0, [&] {
    std::string text, ignored;
    ASSERT_TRUE(osReadWholeFile(file.c_str(), &text, &ignored));
    text.replace(text.find("\"__bookmarks__\": [0,"), 20, "\"__bookmarks__\": [0,9,");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  });
  for (int i = 0; i < 100 && p.timeline->bookmarks[1] != 9; ++i) {
    osSleepMs(5);
    ASSERT_TRUE(runEditorFrame(editor));
  }
  EXPECT_EQ(p.timeline->bookmarks[1], 9u);
}
