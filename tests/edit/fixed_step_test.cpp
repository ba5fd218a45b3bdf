// What the fixed 60 Hz clock feeds the simulation frame by frame, and which timeline edits
// reach it.
#include "edit/fixed_step.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/timeline_file.h"
#include "timeline/easing.h"

namespace {

struct FixedStep : ::testing::Test {
  Timeline* timeline = loadBuiltInTimeline();
  Timeline* edited = loadBuiltInTimeline();
  ~FixedStep() override {
    destroyTimeline(timeline);
    destroyTimeline(edited);
  }
};

TEST_F(FixedStep, StepsFollowTheCaptureClock) {
  const SimulationStep first = simulationStepAt(timeline, 0), second = simulationStepAt(timeline, 1);
  EXPECT_EQ(memcmp(&first, &second, sizeof(first)), 0) << "frame 0 is simulated twice alike";
  EXPECT_EQ(first.simulation.frame, 0u);
  EXPECT_EQ(first.simulation.time, 0.0f);
  EXPECT_EQ(first.simulation.dt, float(1000.0 / 60.0) * 0.025f);
  EXPECT_EQ(first.particleScene.numParticles, 64u);
  EXPECT_EQ(first.simulation.cameraPos.z, -208.84f);

  const SimulationStep frame1 = simulationStepAt(timeline, stepOfFrame(1));
  EXPECT_EQ(frame1.simulation.frame, 1u);
  EXPECT_EQ(frame1.simulation.time, float(1.0 / 60.0 * 1000.0 - 17.4));
  // The scene switch: frame 3254 changes scene and count; the time scale of frame 3255
  // reaches the step after it.
  const SimulationStep clear = simulationStepAt(timeline, stepOfFrame(3254));
  EXPECT_EQ(clear.simulation.scene, 1u);
  EXPECT_EQ(clear.particleScene.numParticles, 128u);
  EXPECT_EQ(simulationStepAt(timeline, stepOfFrame(3255)).simulation.dt, float(1000.0 / 60.0) * 0.025f);
  EXPECT_EQ(simulationStepAt(timeline, stepOfFrame(3256)).simulation.dt, float(1000.0 / 60.0) * 0.02f);

  // The scene constants' clock: one period more per frame, frame 0 after its first showing.
  EXPECT_EQ(fixedStepClockAt(0).constantsTime, float(1000.0 / 60.0));
  EXPECT_EQ(fixedStepClockAt(0).constantsFrame, 1.0f);
  EXPECT_EQ(fixedStepClockAt(2).constantsTime, float(1000.0 / 60.0) + float(1000.0 / 60.0) + float(1000.0 / 60.0));
  EXPECT_EQ(fixedStepClockAt(7400).constantsFrame, 7401.0f);
}

TEST_F(FixedStep, OnlyEditsOfWhatTheSimulationReadsReachIt) {
  EXPECT_EQ(firstSimulationDifference(timeline, edited, 7401), 7401u);
  // Brightness, the field of view and the focus never reach it.
  const float value = 0.5f;
  setFloatKey(edited, "CM::Bright", 100, &value, 0);
  setFloatKey(edited, "CM::Fov", 100, &value, 0);
  setFloatKey(edited, "DF::FocusPt", 100, &value, 0);
  EXPECT_EQ(firstSimulationDifference(timeline, edited, 7401), 7401u);
  // The camera's position does (a sphere follows it): a key between 436 (Linear) and 1144
  // changes the frames after 436.
  const float position[3] = {1.0f, 2.0f, 3.0f};
  setFloat3Key(edited, "CM::Pos", 800, position, 0);
  EXPECT_EQ(firstSimulationDifference(timeline, edited, 7401), 437u);
  EXPECT_EQ(firstSimulationDifference(timeline, edited, 300), 300u) << "no further than asked";
  // After a key that holds ("None"), only from the changed key on; so for the count.
  Timeline* other = loadBuiltInTimeline();
  const uint32_t count = 96;
  setUintKey(other, "SM::NumPart", 2000, &count, 0);
  EXPECT_EQ(firstSimulationDifference(timeline, other, 7401), 2000u);
  // A missing track counts as one without keys, and its parameter keeps the starting value.
  Timeline* empty = createTimeline(timelineFrameCount());
  EXPECT_EQ(firstSimulationDifference(timeline, empty, 7401), 0u);
  const SimulationStep start = simulationStepAt(empty, stepOfFrame(10));
  EXPECT_EQ(start.particleScene.numParticles, SceneParams{}.numParticles);
  EXPECT_EQ(start.simulation.dt, float(1000.0 / 60.0) * SceneParams{}.timeScale);
  EXPECT_EQ(start.simulation.cameraPos.z, SceneParams{}.cameraPosition.z);
  destroyTimeline(other);
  destroyTimeline(empty);
}

}  // namespace
