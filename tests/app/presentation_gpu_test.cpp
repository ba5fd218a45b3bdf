// The presentation end to end on the graphics device (lavapipe here), offscreen at a
// small size, validation on: the synthesis phase, the frame clock, the descriptor use
// per frame, the a-trous ping-pong as the history sees it, a history that keeps nothing
// but finite values, the timeline-driven switches, a smaller render scaled into the window and
// the fatal handler.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "app/frame_pipeline.h"
#include "code/tarnix_timeline.json.h"
#include "support/reference/final_pass.h"
#include "tests/app/presentation_test_support.h"
#include "tests/support/fatal.h"

namespace {

TEST_F(PresentationTest, BlackWhileSynthesisingThenOneFrameIndexPerPresentedFrame) {
  start();
  int blackFrames = 0;
  while (true) {
    runFrame(p);
    if (p.lastFrame.passesRecorded) break;
    ++blackFrames;
    ASSERT_LT(blackFrames, 10) << "the music never became ready";
    EXPECT_EQ(p.simulation.data.frame, 0u);
    EXPECT_TRUE(allBlack(readPresentedFrame(p)));
  }
  EXPECT_EQ(blackFrames, 2) << "render, signal, then hand-over in the frame that renders";
  // The first rendered frame is frame 0 and starts playback; the clock then reads the
  // playing music, so the first playing frame shows index 0 as well and each presented
  // frame after it adds one.
  EXPECT_EQ(p.lastFrame.simulationFrame, 0u);
  for (uint32_t expected : {0u, 1u, 2u, 3u}) {
    ASSERT_TRUE(runFrame(p));
    EXPECT_EQ(p.lastFrame.simulationFrame, expected);
    EXPECT_EQ(p.finalPass.data.frame, expected);
  }
  // The fixed clock: frame n plays at n * 1000 / 60 - 17.4 ms; five frames rendered.
  EXPECT_EQ(p.simulation.data.frame, 4u);
  EXPECT_NEAR(p.simulation.data.time, 4 * 1000.0 / 60.0 - 17.4, 1e-3);
  EXPECT_EQ(p.constants.data.frame, 5.0f);
}

// The music clock on a fixed clock of 120 periods per second: every index after the
// double 0 is rendered once and then held for one iteration that records and presents
// nothing; the simulation moves on by the whole 1/60 s the index stood for.
TEST_F(PresentationTest, MusicClockHoldsEachIndexOnAFasterClock) {
  PresentationOptions options = smallOffscreenOptions(32, 18);
  options.fixedFramesPerSecond = 120.0;
  start(options);
  runUntilPassesRecorded();
  ASSERT_TRUE(runFrame(p));
  EXPECT_EQ(p.lastFrame.simulationFrame, 0u);
  for (uint32_t index = 0; index < 4; ++index) {
    const uint64_t presented = renderApp.frameCounter;
    const float frameTime = p.constants.data.time;
    ASSERT_TRUE(runFrame(p));
    EXPECT_TRUE(p.lastFrame.held) << index;
    EXPECT_FALSE(p.lastFrame.passesRecorded) << index;
    EXPECT_EQ(renderApp.frameCounter, presented) << "nothing presented while held";
    ASSERT_TRUE(runFrame(p));
    EXPECT_TRUE(p.lastFrame.passesRecorded) << index;
    EXPECT_EQ(p.lastFrame.simulationFrame, index + 1);
    // The held period counts into the frame before: 1000 / 60 ms from index to index.
    EXPECT_NEAR(p.constants.data.time - frameTime, 1000.0 / 60.0, 1e-3) << index;
  }
}

// A fixed clock of 30 periods per second: the index follows the music two at a time;
// the refresh clock instead adds one per frame and reads the music at its own pace.
TEST_F(PresentationTest, MusicClockSkipsOnASlowerClockAndTheRefreshClockDoesNot) {
  for (FrameClockMode clock : {FrameClockMode::Music, FrameClockMode::Refresh}) {
    PresentationOptions options = smallOffscreenOptions(32, 18);
    options.fixedFramesPerSecond = 30.0;
    options.clock = clock;
    start(options);
    runUntilPassesRecorded();
    const uint32_t step = clock == FrameClockMode::Music ? 2 : 1;
    for (uint32_t n = 0; n < 4; ++n) {
      ASSERT_TRUE(runFrame(p));
      EXPECT_FALSE(p.lastFrame.held);
      EXPECT_EQ(p.lastFrame.simulationFrame, n * step);
    }
    EXPECT_NEAR(p.simulation.data.time, 4 * 1000.0 / 30.0 - 17.4, 1e-3);
    shutdownPresentation(p);
    validation.reset();
  }
}

// Quitting while the music is still being made: the shutdown finds the synthesis
// recorded or in flight, and no streaming thread.
TEST_F(PresentationTest, QuitDuringSynthesisShutsDownCleanly) {
  for (int frames : {1, 2}) {
    start();
    for (int i = 0; i < frames; ++i) runFrame(p);
    renderApp.quit = 1;
    EXPECT_FALSE(runFrame(p));
    shutdownPresentation(p);
    validation.reset();
  }
}

// What the timeline switches per frame: the descriptors the passes' descriptions add up to
// (thirteen a-trous steps fit the heap), particles simulated in blocks of 32 bounded
// by the buffer's 128 records, the title only in scene 0.
TEST_F(PresentationTest, TimelineDrivenSwitchesReachTheFrame) {
  start();
  runUntilPassesRecorded();
  for (uint32_t steps : {0u, 1u, 2u, 13u}) {
    holdUint(p, "AT::Steps", steps);
    runFrame(p);
    EXPECT_EQ(p.lastFrame.atrousIterations, steps);
    EXPECT_EQ(p.lastFrame.descriptorsUsed, frameDescriptorCount(steps)) << steps << " steps";
  }
  // Edit mode takes 4 more (its overlay, the simulation's re-run).
  EXPECT_EQ(frameDescriptorCount(13, true) + 4, kFrameHeapDescriptors);
  for (auto [count, simulated] : {std::pair{40u, 32u}, {0u, 0u}, {31u, 0u}, {1000u, 128u}}) {
    holdUint(p, "SM::NumPart", count);
    runFrame(p);
    EXPECT_EQ(p.lastFrame.particlesSimulated, simulated) << count << " particles";
  }
  for (auto [scene, shown] : {std::pair{3u, 0u}, {0u, 1u}}) {
    holdUint(p, "SM::SceneID", scene);
    runFrame(p);
    EXPECT_EQ(p.finalPass.data.showExtraTexture, shown) << "scene " << scene;
  }
}

// Fourteen iterations and the passes after them fit the 145 descriptors (thirteen fit edit mode's
// too); after a fifteenth the depth of field's pass does not fit.
TEST_F(PresentationTest, MoreAtrousStepsThanTheHeapHoldsStop) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_FATAL(
      {
        start();
        holdUint(p, "AT::Steps", 15);
        runUntilPassesRecorded();
      },
      "ASSERT: DescriptorAllocator: requested 6 descriptors, only 3 remaining");
}

// The history keeps ResultTexture: the temporal result after 0 or 1 iterations, the
// filtered image after an even count, and after an odd count what the count below it
// filtered.
TEST(PresentationHistory, AtrousStepsDecideWhatTheHistoryReceives) {
  std::vector<std::vector<uint8_t>> history;
  for (uint32_t steps : {0u, 1u, 2u, 3u}) {
    ValidationScope validation;
    auto p = std::make_unique<Presentation>();
    startPresentation(*p, smallOffscreenOptions());
    holdUint(*p, "AT::Steps", steps);
    // A scene with several particles in view, past its set-up frame.
    for (int frame = 0; frame < 6; ++frame) runFrame(*p);
    ASSERT_TRUE(p->lastFrame.passesRecorded);
    history.push_back(readTexture(*p->textures.HistoryBuffer));
    EXPECT_EQ(nonFiniteHalves(history.back()), 0u);
    shutdownPresentation(*p);
  }
  EXPECT_EQ(history[0], history[1]) << "one iteration leaves ResultTexture as the temporal pass wrote it";
  EXPECT_EQ(history[2], history[3]) << "the third iteration writes outputTexture, not the history";
  EXPECT_NE(history[0], history[2]) << "two iterations filter the history";
}

// A smaller render runs as many a-trous iterations as reach the same part of the picture (n
// iterations reach n(n+1) pixels), never none where some were asked and never more than asked.
TEST(AtrousIterations, ReachTheSamePartOfThePicture) {
  for (uint32_t steps = 0; steps <= 13; ++steps) {
    EXPECT_EQ(atrousIterationsFor(steps, 1.0f), steps) << "the program's own size runs what the timeline asks";
    EXPECT_EQ(atrousIterationsFor(steps, 2.0f), steps) << "a larger render runs what the timeline asks";
    for (float scale : {0.05f, 0.27f, 0.5f, 0.99f}) {
      uint32_t n = atrousIterationsFor(steps, scale);
      EXPECT_LE(n, steps) << scale;
      EXPECT_EQ(n == 0, steps == 0) << scale;
    }
  }
  EXPECT_EQ(atrousIterationsFor(3, 144.0f / 540.0f), 1u);  // reach 12 -> 3.2: one iteration's 2
  EXPECT_EQ(atrousIterationsFor(3, 0.5f), 2u);              // 12 -> 6: two iterations' 6
  EXPECT_EQ(atrousIterationsFor(2, 0.5f), 1u);              // 6 -> 3: one iteration's 2
  EXPECT_EQ(atrousIterationsFor(13, 0.5f), 9u);             // 182 -> 91: nine iterations' 90
}

// The filtered copy fills exactly the window pixels the final pass's letterbox holds (their
// centres inside the fitted picture), for renders wider, narrower and as wide as the window.
TEST(ScaledPicture, FillsThePixelsTheFinalPassFits) {
  struct Case {
    float width, height, windowWidth, windowHeight;
  };
  for (Case c : {Case{256, 144, 1280, 720}, Case{32, 18, 48, 20}, Case{32, 18, 80, 60}, Case{96, 54, 1366, 768},
                 Case{64, 36, 1001, 999}, Case{480, 270, 853, 480}}) {
    const gfx::Rect rect = fittedRect(c.width, c.height, c.windowWidth, c.windowHeight);
    const reference::Letterbox box = reference::fitRender({c.width, c.height}, {c.windowWidth, c.windowHeight});
    int wrong = 0;
    for (int y = 0; y < int(c.windowHeight); ++y)
      for (int x = 0; x < int(c.windowWidth); ++x)
        wrong += reference::insideLetterbox(box, {x + 0.5f, y + 0.5f}) !=
                 (x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom);
    EXPECT_EQ(wrong, 0) << c.width << "x" << c.height << " in " << c.windowWidth << "x" << c.windowHeight;
  }
}

// Every frame at which the title text has any weight is drawn by the final pass, not copied.
TEST(ScaledPicture, TheTitleIsNeverCopied) {
  FinalPassData data{};
  data.brightness = 1.0f;
  data.tonemapping = TonemapFunction::NONE;
  const float red[4] = {1, 0, 0, 1};
  int titleFrames = 0;
  for (uint32_t frame = 0; frame <= 7400; ++frame) {
    data.frame = frame;
    data.showExtraTexture = 1;
    const bool weighted = reference::finalColour({0, 0, 0}, red, data).x > 0.0f;
    titleFrames += weighted;
    if (weighted) EXPECT_TRUE(titleShows(data)) << frame;
    data.showExtraTexture = 0;
    EXPECT_FALSE(titleShows(data)) << frame << ": the second scene has no title";
  }
  EXPECT_GT(titleFrames, 400);
}

// Over the copied picture the title is drawn only where its text can show: every window pixel
// whose filtered read of the text image (transparent beyond its border) meets a covered texel
// lies inside textWindowRect, whether the image is stretched or shrunk into the window.
TEST(ScaledPicture, TheTitleIsDrawnWhereverItsTextReaches) {
  const uint32_t tw = 40, th = 10;
  std::vector<uint8_t> text(size_t(tw) * th * 4, 0);
  EXPECT_EQ(coveredTexels(text.data(), tw, th).right, 0) << "nothing covered: empty";
  auto cover = [&](uint32_t x, uint32_t y) { text[4 * (size_t(y) * tw + x) + 3] = 40; };
  for (uint32_t y = 3; y < 6; ++y)
    for (uint32_t x = 12; x < 20; ++x) cover(x, y);
  cover(25, 8);
  const gfx::Rect texels = coveredTexels(text.data(), tw, th);
  EXPECT_EQ(texels.left, 12);
  EXPECT_EQ(texels.top, 3);
  EXPECT_EQ(texels.right, 26);
  EXPECT_EQ(texels.bottom, 9);
  auto alpha = [&](int x, int y) {
    return x < 0 || y < 0 || x >= int(tw) || y >= int(th) ? 0.0f : float(text[4 * (size_t(y) * tw + x) + 3]);
  };
  for (float windowWidth : {30.0f, 160.0f, 1280.0f}) {
    const float windowHeight = windowWidth * 0.75f;
    const gfx::Rect r = textWindowRect(texels, tw, th, 32, 18, windowWidth, windowHeight);
    const reference::Letterbox box = reference::fitRender({32, 18}, {windowWidth, windowHeight});
    int missed = 0, reached = 0;
    for (int y = 0; y < int(windowHeight); ++y) {
      for (int x = 0; x < int(windowWidth); ++x) {
        if (!reference::insideLetterbox(box, {x + 0.5f, y + 0.5f})) continue;
        const float s = (x + 0.5f - box.topLeft.x) / box.displayed.x * tw - 0.5f;
        const float t = (y + 0.5f - box.topLeft.y) / box.displayed.y * th - 0.5f;
        const int x0 = int(std::floor(s)), y0 = int(std::floor(t));
        const float fs = s - float(x0), ft = t - float(y0);
        const float a = (alpha(x0, y0) * (1 - fs) + alpha(x0 + 1, y0) * fs) * (1 - ft) +
                        (alpha(x0, y0 + 1) * (1 - fs) + alpha(x0 + 1, y0 + 1) * fs) * ft;
        if (a <= 0.0f) continue;
        reached += 1;
        missed += !(x >= r.left && x < r.right && y >= r.top && y < r.bottom);
      }
    }
    EXPECT_GT(reached, 0) << windowWidth;
    EXPECT_EQ(missed, 0) << windowWidth;
    const gfx::Rect fitted = fittedRect(32, 18, windowWidth, windowHeight);
    EXPECT_TRUE(r.left >= fitted.left && r.top >= fitted.top && r.right <= fitted.right && r.bottom <= fitted.bottom)
        << "inside the picture, " << windowWidth;
    // No wider than the covered texels with their margins.
    EXPECT_LE(float(r.right - r.left), float(texels.right - texels.left + 2) * box.displayed.x / tw + 3) << windowWidth;
    EXPECT_LE(float(r.bottom - r.top), float(texels.bottom - texels.top + 2) * box.displayed.y / th + 3) << windowWidth;
  }
  EXPECT_EQ(textWindowRect({}, tw, th, 32, 18, 160, 120).right, 0) << "no text: nothing drawn";
}

// A render smaller than the window, as a machine without a GPU draws it: the window shows the
// tone-mapped picture scaled with bilinear filtering (its edges clamped) between black bars; in
// the title's frames the text is drawn over it, and nowhere else.
TEST_F(PresentationTest, SmallerRenderIsScaledIntoTheWindow) {
  PresentationOptions options = smallOffscreenOptions(32, 18);
  options.lookHeight = 540;
  options.outputWidth = 160;
  options.outputHeight = 120;
  start(options);
  runUntilPassesRecorded();
  const gfx::Rect rect = fittedRect(32, 18, 160, 120);
  const gfx::Rect text = textWindowRect(p.titleTexels, p.textWidth, p.textHeight, 32, 18, 160, 120);
  ASSERT_GT(text.right, text.left) << "the title text has covered texels";
  for (uint32_t frame : {1000u, 1650u}) {
    jumpToFrame(p, frame);
    for (int i = 0; i < 2; ++i) runFrame(p);
    EXPECT_FALSE(p.noScalingCopy) << "the Vulkan backend scales by a copy";
    const std::vector<uint8_t> picture = readTexture(*p.textures.toneMapped);
    const std::vector<uint8_t> window = readPresentedFrame(p);
    ASSERT_EQ(picture.size(), 32u * 18 * 4);
    auto texel = [&](int x, int y, int k) {
      return float(picture[4 * (size_t(std::clamp(y, 0, 17)) * 32 + std::clamp(x, 0, 31)) + k]);
    };
    int wrong = 0, lit = 0, titled = 0;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 160; ++x) {
        const uint8_t* shown = &window[4 * (size_t(y) * 160 + x)];
        const bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
        const bool inText = x >= text.left && x < text.right && y >= text.top && y < text.bottom;
        const float u = (x + 0.5f - rect.left) * 32.0f / float(rect.right - rect.left) - 0.5f;
        const float v = (y + 0.5f - rect.top) * 18.0f / float(rect.bottom - rect.top) - 0.5f;
        const int x0 = int(std::floor(u)), y0 = int(std::floor(v));
        const float fu = u - float(x0), fv = v - float(y0);
        bool differs = false;
        for (int k = 0; k < 3; ++k) {
          float expected = 0.0f;
          if (inside) {
            const float top = texel(x0, y0, k) * (1 - fu) + texel(x0 + 1, y0, k) * fu;
            const float bottom = texel(x0, y0 + 1, k) * (1 - fu) + texel(x0 + 1, y0 + 1, k) * fu;
            expected = top * (1 - fv) + bottom * fv;
          }
          differs = differs || std::abs(float(shown[k]) - expected) > 2.0f;
          lit += shown[k] > 0;
        }
        if (frame == 1650 && inText) titled += differs;
        else wrong += differs;
      }
    }
    EXPECT_EQ(wrong, 0) << "of 160 x 120 pixels, frame " << frame;
    EXPECT_GT(lit, 10000) << "the picture shows, frame " << frame;
    if (frame == 1650) EXPECT_GT(titled, 0) << "the title is drawn";
  }
}

// The a-trous filter reads each pixel's depth from the normal image's fourth channel: it must be
// the depth image's value, bit for bit, on every pixel (those showing nothing included).
TEST_F(PresentationTest, NormalImageCarriesTheDepthBits) {
  start();
  runUntilPassesRecorded();
  jumpToFrame(p, 1200);
  for (int i = 0; i < 2; ++i) runFrame(p);
  std::vector<uint8_t> normals = readTexture(*p.textures.normalBuffer);
  std::vector<uint8_t> depths = readTexture(*p.textures.depthBuffer);
  ASSERT_EQ(normals.size(), depths.size() * 4);
  size_t differing = 0, pixels = depths.size() / 4;
  for (size_t i = 0; i < pixels; ++i) differing += std::memcmp(&normals[16 * i + 12], &depths[4 * i], 4) != 0;
  EXPECT_EQ(differing, 0u) << "of " << pixels << " pixels";
}

// Particles that are not finite (a fault upstream, or memory a GPU never cleared) make the path
// tracer's colours NaN; the temporal history and its moments never keep such a value, so it does
// not stay frame after frame, and the a-trous filter has none to spread into the history.
TEST_F(PresentationTest, NonFiniteParticlesNeverReachTheHistory) {
  start();
  runUntilPassesRecorded();
  jumpToFrame(p, 1200);  // the first scene: the glass sphere and its three grown lights
  for (int i = 0; i < 3; ++i) runFrame(p);
  std::vector<uint8_t> bytes = readBackBuffer(*p.particleBuffer);
  ParticleData* particles = reinterpret_cast<ParticleData*>(bytes.data());
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // The lights' colour, which the simulation keeps from their set-up and the path tracer adds to
  // every path that meets them.
  for (int light = 1; light <= 3; ++light) particles[light].material.albedo = {nan, nan, nan};
  overwriteBuffer(*p.particleBuffer, bytes);

  size_t nanColours = 0;
  for (uint32_t steps : {0u, 3u}) {  // the history from the temporal pass, then from the filter
    holdUint(p, "AT::Steps", steps);
    for (int frame = 0; frame < 3; ++frame) {
      runFrame(p);
      if (steps == 0) nanColours += nonFiniteHalves(readTexture(*p.textures.outputTexture));
      EXPECT_EQ(nonFiniteHalves(readTexture(*p.textures.HistoryBuffer)), 0u) << steps << " steps";
      EXPECT_EQ(nonFiniteFloats(readTexture(*p.textures.HistoryM1Out)), 0u) << steps << " steps";
      EXPECT_EQ(nonFiniteFloats(readTexture(*p.textures.HistoryM2Out)), 0u) << steps << " steps";
    }
  }
  EXPECT_GT(nanColours, 0u) << "the path tracer's colours never became NaN: the particles did not reach it";
}

TEST_F(PresentationTest, TimelineWithoutTracksRunsOnTheStartUpValues) {
  static const char kNoTracks[] = "{}";
  PresentationOptions options = smallOffscreenOptions();
  options.timelineText = kNoTracks;
  options.timelineLength = sizeof(kNoTracks);
  start(options);
  EXPECT_EQ(p.timeline->tracks.count, 13u);
  runUntilPassesRecorded();
  runFrame(p);
  EXPECT_EQ(p.finalPass.data.brightness, 1.0f);
  EXPECT_EQ(p.lastFrame.particlesSimulated, 64u);
  EXPECT_EQ(p.lastFrame.atrousIterations, 2u);
  EXPECT_FALSE(allBlack(readPresentedFrame(p)));
}

TEST_F(PresentationTest, OpeningFramesAtBrightnessZeroPresentBlack) {
  start();
  runUntilPassesRecorded();
  for (int i = 0; i < 3; ++i) {
    runFrame(p);
    ASSERT_LT(p.lastFrame.simulationFrame, 439u);
    EXPECT_EQ(p.finalPass.data.brightness, 0.0f);
    EXPECT_TRUE(allBlack(readPresentedFrame(p))) << "frame " << p.lastFrame.simulationFrame;
  }
}

// Each fatal-handler case runs in a directory of its own with a code/ folder, as the
// writer's paths are relative to the working directory.
struct PresentationFatalStop : PresentationTest {
  std::string previous, directory;
  void SetUp() override {
    // The child runs the test afresh: the graphics driver's threads do not survive a fork.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    namespace fs = std::filesystem;
    // The child starts where the suite started, so it finds the same directory.
    previous = fs::current_path().string();
    directory = ::testing::UnitTest::GetInstance()->original_working_dir() + std::string("/presentation_fatal_") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    if (!::testing::internal::InDeathTestChild()) {
      std::error_code error;
      fs::remove_all(directory, error);
      ASSERT_TRUE(fs::create_directories(fs::path(directory) / "code"));
    }
    fs::current_path(directory);
  }
  void TearDown() override {
    PresentationTest::TearDown();
    std::filesystem::current_path(previous);
    std::error_code error;
    std::filesystem::remove_all(directory, error);
    ASSERT_FALSE(error) << error.message();
  }
  // After a death test: the child wrote its files into this same directory.
  void reenter() { std::filesystem::current_path(directory); }
  static bool exists(const char* path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
  }
  static std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST_F(PresentationFatalStop, PanicAfterStartUpWritesTheTimelineOut) {
  EXPECT_FATAL(
      {
        start();
        runFrame(p);
        PANIC("Failed to present\n");
      },
      "PANIC: Failed to present");
  reenter();
  EXPECT_EQ(readFile("tarnix_timeline.json"), std::string(TIMELINE_JSON_DATA));
  EXPECT_EQ(readFile("code/tarnix_timeline.json.h"), readFile(TARNIX_SOURCE_DIR "/code/tarnix_timeline.json.h"));
}

TEST_F(PresentationFatalStop, AssertWritesNothing) {
  EXPECT_FATAL(
      {
        start();
        ASSERT(false, "Exceeded the limit\n");
      },
      "ASSERT: Exceeded the limit");
  reenter();
  EXPECT_FALSE(exists("tarnix_timeline.json"));
  EXPECT_FALSE(exists("code/tarnix_timeline.json.h"));
}

TEST_F(PresentationFatalStop, PanicAfterShutdownWritesNothing) {
  EXPECT_FATAL(
      {
        start();
        shutdownPresentation(p);
        PANIC("Failed to create device\n");
      },
      "PANIC: Failed to create device");
  reenter();
  EXPECT_FALSE(exists("tarnix_timeline.json"));
}

}  // namespace
