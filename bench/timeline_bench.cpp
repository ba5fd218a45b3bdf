// Timeline costs: the per-frame update over the presentation's frames, loading the
// embedded text, and writing it back out.
#include <benchmark/benchmark.h>

#include <cstring>

#include "app/presentation.h"
#include "app/timeline_binding.h"
#include "base/diagnostics.h"
#include "code/tarnix_timeline.json.h"
#include "timeline/loader.h"
#include "timeline/writer.h"

namespace {

constexpr uint32_t kFrames = 10843;

// The reader prints two progress lines per parse; keep them out of the report.
struct QuietMessages {
  QuietMessages() { setMessagesPrinted(false); }
  ~QuietMessages() { setMessagesPrinted(true); }
};

// The CPU copies the binding writes into, as main holds them.
struct Destinations {
  ParticleSceneData particleScene{};
  SimulationData simulation{};
  float timeScale = 0;
  Camera camera{};
  FinalPassData finalPass{};
  DepthOfFieldData depthOfField{};
  ConstantBufferData constants{};
  uint32_t atrousSteps = 0;
  TimelineDestinations pointers() {
    return {&particleScene, &simulation,   &timeScale, &camera,     &finalPass,
            &camera.projection, &depthOfField, &constants, &atrousSteps};
  }
};

Timeline* loadEmbedded() {
  Timeline* timeline = createTimeline(kFrames);
  QuietMessages quiet;
  loadTimeline(timeline, TIMELINE_JSON_DATA, uint32_t(sizeof(TIMELINE_JSON_DATA)));
  return timeline;
}

// One iteration is one frame: evaluate all tracks and apply them, walking frames
// 0..7400 as the presentation does.
void BM_UpdateTimelinePerFrame(benchmark::State& state) {
  Timeline* timeline = loadEmbedded();
  Destinations d;
  TimelineDestinations destinations = d.pointers();
  for (auto _ : state) {
    updateTimeline(timeline, destinations);
    benchmark::DoNotOptimize(d.camera);
    d.simulation.frame = d.simulation.frame == kEndFrameIndex ? 0 : d.simulation.frame + 1;
  }
  state.SetItemsProcessed(state.iterations());
  destroyTimeline(timeline);
}
BENCHMARK(BM_UpdateTimelinePerFrame);

// The binding alone: the thirteen name lookups and writes of one frame, without the
// evaluation.
void BM_ApplyTrackValuesPerFrame(benchmark::State& state) {
  Timeline* timeline = loadEmbedded();
  Destinations d;
  TimelineDestinations destinations = d.pointers();
  for (Track* track : timeline->tracks) track->current = evaluate(track, 3000);
  for (auto _ : state) {
    for (Track* track : timeline->tracks)
      applyTrackValue(destinations, track->name, timeline->callbackTag, track->current);
    benchmark::DoNotOptimize(d.camera);
  }
  state.SetItemsProcessed(state.iterations());
  destroyTimeline(timeline);
}
BENCHMARK(BM_ApplyTrackValuesPerFrame);

void BM_LoadEmbeddedTimeline(benchmark::State& state) {
  Timeline* timeline = createTimeline(kFrames);
  {
    QuietMessages quiet;
    for (auto _ : state) {
      loadTimeline(timeline, TIMELINE_JSON_DATA, uint32_t(sizeof(TIMELINE_JSON_DATA)));
      benchmark::DoNotOptimize(timeline->tracks.count);
    }
  }
  state.SetBytesProcessed(state.iterations() * int64_t(sizeof(TIMELINE_JSON_DATA)));
  destroyTimeline(timeline);
}
BENCHMARK(BM_LoadEmbeddedTimeline)->Unit(benchmark::kMicrosecond);

void BM_SerializeEmbeddedTimeline(benchmark::State& state) {
  Timeline* timeline = loadEmbedded();
  for (auto _ : state) {
    std::string text = serializeTimeline(timeline, false);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t(sizeof(TIMELINE_JSON_DATA) - 1));
  destroyTimeline(timeline);
}
BENCHMARK(BM_SerializeEmbeddedTimeline)->Unit(benchmark::kMicrosecond);

}  // namespace
