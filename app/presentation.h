#pragma once
// The presentation: every object main creates at start-up, the frame loop that drives
// them and the shutdown that releases them.
//
// It is a library so that the program, the tests and the tools all run the same code:
// the program on a window at its build-time render size, tests and tools on an
// offscreen swap chain at a size of their choosing and, where they need repeatable
// frames, with a fixed clock instead of the counter and the playback position.
#include <cstdint>

#include "app/frame_clock.h"
#include "app/picture_timing.h"
#include "app/render_size_choice.h"
#include "app/timeline_binding.h"
#include "base/containers.h"
#include "gpu/constant_block.h"
#include "gpu/descriptors.h"
#include "gpu/passes.h"
#include "gpu/pipeline.h"
#include "gpu/resources.h"
#include "scene/camera.h"
#include "scene/scene_params.h"
#include "shaders/ParticleConfig.h"
#include "timeline/timeline.h"

struct AudioRenderer;
struct WaveOutApi;

inline constexpr uint32_t kFrameHeapCount = 16;
// A frame takes 46 descriptors (50 with the final pass in two) and 7 per a-trous step, and edit
// mode adds 4 (its overlay, the simulation's re-run after a seek): 145 fit the thirteen steps the
// timeline may ask for in every case.
inline constexpr uint32_t kFrameHeapDescriptors = 145;
inline constexpr double kAudioLatencyMs = 17.4;
inline constexpr uint32_t kParticleBlock = 32;  // particles are simulated in whole blocks

struct PresentationOptions {
  uint32_t renderWidth = 960;  // W x H of every frame texture; W a multiple of 32
  uint32_t renderHeight = 540;
  // The program's own render height, whose picture any render size keeps: parameters measured
  // in pixels (the depth of field's blur, the filters' reach) scale by renderHeight /
  // lookHeight, so a smaller render shows the same blur over the same part of the scene. 0: the
  // render height itself (nothing scales; the suites' small renders keep the passes' own
  // arithmetic).
  uint32_t lookHeight = 0;
  // Offscreen: a swap chain of outputWidth x outputHeight in memory instead of a window
  // (0 means the render size). Nothing is read from the message pump then.
  bool offscreen = false;
  uint32_t outputWidth = 0;
  uint32_t outputHeight = 0;
  // A normal window of windowWidth x windowHeight instead of the borderless one over
  // the whole screen.
  bool windowed = false;
  uint32_t windowWidth = 1280;
  uint32_t windowHeight = 720;
  // Which timeline frame each rendered frame shows (app/frame_clock.h).
  FrameClockMode clock = FrameClockMode::Music;
  // Fixed clock: every call of runFrame once the music plays is one period of 1000 / F
  // ms, whatever the counter and the sound device say; the music is at n / F seconds in
  // the n-th. The music clock then holds or skips indices as a display of F Hz would
  // (60: each index once); the refresh clock shows index n at n * 1000 / F - 17.4 ms.
  bool fixedClock = false;
  double fixedFramesPerSecond = 60.0;
  // The sound device; null means the system's (tests pass a fake).
  const WaveOutApi* waveOut = nullptr;
  // Play nothing: the silent real-time clock even where a sound device exists.
  bool noSound = false;
  // A timeline to play (app/timeline_file.h); the presentation takes it over. Null: the
  // text below.
  Timeline* timeline = nullptr;
  // The timeline text loaded at start-up; null means the embedded one.
  const char* timelineText = nullptr;
  uint32_t timelineLength = 0;  // characters of timelineText including its NUL
  // The scene pass tests every particle for each ray instead of walking the spheres'
  // hierarchy: the same pictures, slower; for comparisons.
  bool bruteForceScene = false;
  // On a CPU device, render at a size chosen for the machine (app/render_size_choice.h) from
  // the ladder below the render size given (the program's own); runPresentation follows it.
  bool chooseRenderSize = false;
  // The device to draw with: an index of the device list or part of a device's name
  // (gpu/device_choice.h); null: the first that has everything the passes use.
  const char* device = nullptr;
};

// The textures the passes read and write, all W x H.
struct FrameTextures {
  GpuTexture* outputTexture;
  GpuTexture* velocityBuffer;
  GpuTexture* positionBuffer;
  GpuTexture* normalBuffer;
  GpuTexture* PrevPositionBuffer;
  GpuTexture* PrevNormalBuffer;
  GpuTexture* HistoryM1Out;
  GpuTexture* HistoryM2Out;
  GpuTexture* HistoryM1Prev;
  GpuTexture* HistoryM2Prev;
  GpuTexture* depthBuffer;
  GpuTexture* PrevDepthBuffer;
  GpuTexture* HistoryBuffer;
  GpuTexture* ResultTexture;
  GpuTexture* frameInput;
  GpuTexture* colourAndDepth;  // the depth of field's input: the filtered picture with the depth
  GpuTexture* toneMapped;      // the picture tone-mapped, where the final pass only scales it
};

// What the last iteration did (the passes fill in their dispatches), for tests and tools.
struct FrameReport {
  bool passesRecorded;          // the six passes ran (the music was ready)
  bool held;                    // the music clock held the last index: nothing was
                                // rendered or presented, the last picture stays
  uint32_t descriptorsUsed;     // from the frame's shader-visible heap
  uint32_t particlesSimulated;  // particles the simulation moved (its one group runs them)
  uint32_t atrousIterations;    // a-trous dispatches
  uint32_t simulationFrame;     // the frame index the passes rendered
  uint32_t backBufferIndex;     // the back buffer the frame was drawn into
};

struct Presentation {
  PresentationOptions options;
  SceneParams sceneParams;
  uint32_t frameCount;
  Timeline* timeline;  // the fatal handler reads this variable
  AudioRenderer* audio;

  DynamicArray<uint8_t> textPixels;
  uint32_t textWidth, textHeight;
  gfx::Rect titleTexels;  // the text's texels with any alpha (coveredTexels)
  GpuTexture* extraTexture;

  Camera camera;
  ConstantBlock<ParticleSceneData> particleScene;
  ConstantBlock<SimulationData> simulation;
  ConstantBlock<ConstantBufferData> constants;
  ConstantBlock<DepthOfFieldData> depthOfField;
  ConstantBlock<FinalPassData> finalPass;

  GpuBuffer* particleBuffer;
  GpuBuffer* sphereBvhBuffer;  // rebuilt every frame from the particles
  GpuBuffer* depthOfFieldSpiral;  // the spiral's steps, written every frame, read as constants
  GpuBuffer* depthOfFieldTiles;   // each tile's depth range, likewise
  DescriptorAllocator* frameHeaps[kFrameHeapCount];
  DescriptorAllocator* targetViewHeap;
  BarrierBatch barriers;

  Pipeline* particleSimulationPipeline;
  Pipeline* sphereBvhPipeline;
  Pipeline* scenePipeline;
  Pipeline* temporalPipeline;
  Pipeline* atrousPipeline;
  Pipeline* depthFromVelocityPipeline;  // the web build's (app/frame_passes.h); else null
  Pipeline* depthOfFieldPreparePipeline;
  FullscreenPass depthOfFieldPass;
  FullscreenPass finalPassPass;
  Pipeline* toneMapPipeline;            // the final pass in two (app/frame_passes.h)
  FullscreenPass scaleToBackbufferPass;
  bool noScalingCopy;  // the backend has no filtered copy: the scaling is drawn
  FrameTextures textures;
  DescriptorTable targetViews;           // this frame's views: 0 frameInput, 1 back buffer
  DynamicArray<PassBinding> passBindings;  // reused by the two full-screen passes

  // Loop variables the timeline drives.
  uint32_t atrousSteps;
  float timeScale;
  double previousFrameDurationMs;
  TimelineDestinations destinations;

  // The music clock's hold: the index in SimulationData.frame has been rendered and
  // the music has not reached the next one yet (playing in real time: the next index is
  // chosen when the next frame starts).
  bool frameHeld;
  bool waitedForMusic;  // an iteration was held since the last rendered frame
  double frameEndMs;     // counter at the end of the last rendered frame
  double heldMs;         // fixed clock: the periods held since then
  uint64_t fixedTicks;   // fixed clock: periods since the music started
  double musicSeconds;   // the music time the index was last chosen for
  MusicPosition musicPosition;  // what the music clock makes of the device's answers
  PictureTiming pictures;       // how long the music clock's pictures take to the screen
  bool indexChosenByClock;      // the index was chosen by the music clock, at indexChosenMs
  double indexChosenMs;
  uint32_t lastShownFrame;  // the last index rendered with the passes
  uint64_t framesShown;     // frames rendered with the passes and presented

  FrameReport lastFrame;
  bool running;  // between start and shutdown

  bool choosingRenderSize;  // a CPU device and PresentationOptions::chooseRenderSize
  RenderSizeChoice sizeChoice;
};

// What the presentation's device must offer: the needs of every pass it runs (the music's and
// the frame's) with images of the render and output sizes (the window's back buffers are added
// when it is open).
gfx::DeviceRequirements presentationDeviceRequirements(const PresentationOptions& options);

// Start-up: the whole first half of main, in its fixed order, up to the call of play
// before the first iteration. `presentation` must stay at its address until shutdown
// (the fatal handler and the timeline binding point into it).
void startPresentation(Presentation& presentation, const PresentationOptions& options);

// One iteration of the frame loop. False once the presentation is over (Escape, the
// window closed, or the frame after kEndFrameIndex rendered).
bool runFrame(Presentation& presentation);

// The frame loop's first step: last iteration's pressed flags forgotten, the window's
// waiting messages taken into inputState and renderApp (mouse, quit).
void pumpMessages();

// What a run showed, for the line the program prints at its end.
struct PresentationSummary {
  uint64_t framesShown;     // presented with the passes (not the black ones before the music)
  uint32_t lastShownFrame;  // the last timeline frame rendered; framesShown > 0
  double musicSeconds;      // the music time the last index was chosen for
};

// Iterations until the presentation is over, then the shutdown.
PresentationSummary runPresentation(Presentation& presentation);

// Waits for the GPU and releases everything in the shutdown order.
void shutdownPresentation(Presentation& presentation);

// Renders at width x height from the next frame on: the frame's textures made anew at that size
// (the temporal history starts over), the passes' resolutions and pixel scale with them.
void resizeRenderTargets(Presentation& presentation, uint32_t width, uint32_t height);

// Particles the simulation moves: whole blocks of 32, never more than the buffer's 128
// records hold. The shader derives the same count from numParticles.
constexpr uint32_t simulatedParticleCount(uint32_t numParticles) {
  return (numParticles < kParticleCapacity ? numParticles : kParticleCapacity) / kParticleBlock * kParticleBlock;
}

// The factor of every parameter measured in pixels: the render height over the program's own
// (PresentationOptions::lookHeight), 1 at the program's own size.
inline float pixelScaleOf(const PresentationOptions& options) {
  if (options.lookHeight == 0) return 1.0f;
  return float(options.renderHeight) / float(options.lookHeight);
}

// Whose picture a render of another size shows where no program's own size is given (the
// capture tool, the web page): tarnix's (540 rows) below 1080 rows, tarnix1080's from there.
inline uint32_t lookHeightFor(uint32_t renderHeight) { return renderHeight >= 1080 ? 1080 : 540; }

// What each frame records is in app/frame_pipeline.h.
