#include "app/frame_passes.h"

#include "shader_blobs.h"
#include "shaders/ParticleConfig.h"

namespace {

constexpr uint32_t kRgba16Float = gfx::FORMAT_R16G16B16A16_FLOAT;
constexpr uint32_t kRgba32Float = gfx::FORMAT_R32G32B32A32_FLOAT;
constexpr uint32_t kR32Float = gfx::FORMAT_R32_FLOAT;

constexpr PassSlot texture(const char* name, uint32_t format) { return {SlotKind::Texture, name, format, 0}; }
constexpr PassSlot storageTexture(const char* name, uint32_t format) {
  return {SlotKind::StorageTexture, name, format, 0};
}
constexpr PassSlot constants(const char* name) { return {SlotKind::Constants, name, 0, 0}; }
constexpr PassSlot kParticlesRead = {SlotKind::Buffer, "particles", 0, kParticleStride};

constexpr PassSlot kSimulationSlots[] = {
    {SlotKind::StorageBuffer, "particles", 0, kParticleStride}, constants("simData"), constants("particleScene")};

constexpr PassSlot kSphereBvhBuildSlots[] = {
    kParticlesRead, {SlotKind::StorageBuffer, "sphereBvh", 0, kSphereBvhRecordBytes}, constants("particleScene")};

constexpr PassSlot kSceneSlots[] = {
    kParticlesRead,
    storageTexture("outputTexture", kRgba16Float),
    storageTexture("velocityBuffer", kRgba32Float),
    storageTexture("positionBuffer", kRgba32Float),
    storageTexture("normalBuffer", kRgba32Float),
#ifndef TARNIX_WEB
    storageTexture("depthBuffer", kR32Float),
#endif
    constants("constantData"),
    constants("particleScene"),
    constants("simData"),
    constants("sphereBvh"),  // the hierarchy, read as 16-byte blocks
};

constexpr PassSlot kTemporalSlots[] = {
    texture("CurrentFrame", kRgba16Float),
    texture("velocityBuffer", kRgba32Float),
    texture("HistoryBuffer", kRgba16Float),
    texture("positionBuffer", kRgba32Float),
    texture("normalBuffer", kRgba32Float),
    texture("PrevPositionBuffer", kRgba32Float),
    texture("PrevNormalBuffer", kRgba32Float),
    texture("HistoryM1Prev", kR32Float),
    texture("HistoryM2Prev", kR32Float),
    texture("depthBuffer", kR32Float),
    texture("PrevDepthBuffer", kR32Float),
    storageTexture("ResultTexture", kRgba16Float),
    storageTexture("HistoryM1Out", kR32Float),
    storageTexture("HistoryM2Out", kR32Float),
    constants("constantData"),
};
constexpr PassSampler kTemporalSamplers[] = {
    {"linearClamp", gfx::FILTER_MIN_MAG_MIP_LINEAR, gfx::TEXTURE_ADDRESS_MODE_CLAMP},
    {"pointClamp", gfx::FILTER_MIN_MAG_MIP_POINT, gfx::TEXTURE_ADDRESS_MODE_CLAMP},
};

#ifdef TARNIX_WEB
constexpr PassSlot kDepthFromVelocitySlots[] = {texture("velocityBuffer", kRgba32Float),
                                                storageTexture("depthBuffer", kR32Float)};
#endif

constexpr PassSlot kAtrousSlots[] = {
    texture("currentFrame", kRgba16Float), texture("normalBuffer", kRgba32Float), texture("M1", kR32Float),
    texture("M2", kR32Float),           texture("depthBuffer", kR32Float),    storageTexture("resultTexture", kRgba16Float),
};

constexpr PassSlot kDepthOfFieldPrepareSlots[] = {
    texture("depthBuffer", kR32Float),
    texture("Frame", kRgba16Float),
    storageTexture("colourAndDepth", kRgba32Float),
    {SlotKind::StorageBuffer, "spiral", 0, 16},
    {SlotKind::StorageBuffer, "tiles", 0, 16},
    constants("constantData"),
};

constexpr PassSlot kDepthOfFieldSlots[] = {
    texture("depthBuffer", kR32Float), texture("Frame", kRgba16Float), texture("colourAndDepth", kRgba32Float),
    constants("constantData"),         constants("Spiral"),             constants("Tiles")};
constexpr PassSlot kDepthOfFieldDirectSlots[] = {
    texture("depthBuffer", kR32Float), texture("Frame", kRgba16Float), constants("constantData")};
constexpr PassSampler kDepthOfFieldSamplers[] = {
    {"Sampler", gfx::FILTER_MIN_MAG_MIP_LINEAR, gfx::TEXTURE_ADDRESS_MODE_CLAMP}};

constexpr PassSlot kFinalSlots[] = {
    texture("frameInput", kRgba16Float), texture("extraTexture", gfx::FORMAT_R8G8B8A8_UNORM),
    constants("finalPassData")};
// Outside the picture the border's transparent black: the letterbox.
constexpr PassSampler kFinalSamplers[] = {
    {"linearSampler", gfx::FILTER_MIN_MAG_MIP_LINEAR, gfx::TEXTURE_ADDRESS_MODE_BORDER}};

// The tone-mapped picture is clamped to 0..1 (what the back buffer keeps): 8 bits a channel, which
// a device scales into the window faster than half floats.
constexpr PassSlot kToneMapSlots[] = {texture("frameInput", kRgba16Float),
                                      storageTexture("toneMapped", gfx::FORMAT_R8G8B8A8_UNORM),
                                      constants("finalPassData")};
constexpr PassSlot kScaleToBackbufferSlots[] = {
    texture("toneMapped", gfx::FORMAT_R8G8B8A8_UNORM), texture("extraTexture", gfx::FORMAT_R8G8B8A8_UNORM),
    texture("frameInput", kRgba16Float), constants("finalPassData")};

}  // namespace

const PassDescription kParticleSimulationPass = {
    "ParticleSimulationCS", PassStage::Compute, {kParticleSimulationCS, kParticleSimulationCSSize},
    kSimulationSlots,       {},                 false,
    0,                      0};

const PassDescription kSphereBvhBuildPass = {
    "SphereBvhBuildCS", PassStage::Compute, {kSphereBvhBuildCS, kSphereBvhBuildCSSize}, kSphereBvhBuildSlots, {},
    false,              0,                  0};

const PassDescription kScenePass = {
    "SceneRenderCS", PassStage::Compute, {kSceneRenderCS, kSceneRenderCSSize}, kSceneSlots, {}, false, 0, 0};

const PassDescription kSceneBruteForcePass = {
    "SceneRenderBruteForceCS", PassStage::Compute, {kSceneRenderBruteForceCS, kSceneRenderBruteForceCSSize},
    kSceneSlots,               {},                 false,
    0,                         0};

const PassDescription kTemporalPass = {
    "TemporalAccumulationCS", PassStage::Compute, {kTemporalAccumulationCS, kTemporalAccumulationCSSize},
    kTemporalSlots,           kTemporalSamplers,  false,
    0,                        0};

// Each iteration's table is one longer than its six views, as the frame has always taken it.
const PassDescription kAtrousPass = {
    "ATrousFilterCS", PassStage::Compute, {kATrousFilterCS, kATrousFilterCSSize}, kAtrousSlots, {}, true, 1, 0};

#ifdef TARNIX_WEB
const PassDescription kDepthFromVelocityPass = {
    "DepthFromVelocityCS", PassStage::Compute, {kDepthFromVelocityCS, kDepthFromVelocityCSSize},
    kDepthFromVelocitySlots, {}, false, 0, 0};
#endif
const PassDescription kDepthOfFieldPreparePass = {
    "DepthOfFieldPrepareCS", PassStage::Compute, {kDepthOfFieldPrepareCS, kDepthOfFieldPrepareCSSize},
    kDepthOfFieldPrepareSlots, {},               false,
    0,                       0};

const PassDescription kDepthOfFieldPass = {
    "DepthOfFieldPS",   PassStage::Pixel, {kDepthOfFieldPS, kDepthOfFieldPSSize}, kDepthOfFieldSlots,
    kDepthOfFieldSamplers, false,         0,                                      kRgba16Float};

const PassDescription kDepthOfFieldDirectPass = {
    "DepthOfFieldDirectPS", PassStage::Pixel, {kDepthOfFieldDirectPS, kDepthOfFieldDirectPSSize},
    kDepthOfFieldDirectSlots, kDepthOfFieldSamplers, false,
    0,                      kRgba16Float};

// The two passes that draw into the back buffer are built for its format (the window's
// channel order); R8G8B8A8 is what they are described, and tested, with.
const PassDescription kFinalPass = {
    "TransferToBackbufferPS", PassStage::Pixel, {kTransferToBackbufferPS, kTransferToBackbufferPSSize},
    kFinalSlots,              kFinalSamplers,   false,
    0,                        gfx::FORMAT_R8G8B8A8_UNORM};

const PassDescription kToneMapPass = {
    "ToneMapCS", PassStage::Compute, {kToneMapCS, kToneMapCSSize}, kToneMapSlots, {}, false, 0, 0};

const PassDescription kScaleToBackbufferPass = {
    "ScaleToBackbufferPS",   PassStage::Pixel, {kScaleToBackbufferPS, kScaleToBackbufferPSSize},
    kScaleToBackbufferSlots, kFinalSamplers,   false,
    0,                       gfx::FORMAT_R8G8B8A8_UNORM};

uint32_t frameDescriptorCount(uint32_t atrousSteps, bool toneMappedAtRenderSize) {
  uint32_t count = descriptorCount(kAtrousPass) * atrousSteps;
  for (const PassDescription* pass : {&kParticleSimulationPass, &kSphereBvhBuildPass, &kScenePass, &kTemporalPass,
                                      &kDepthOfFieldPreparePass, &kDepthOfFieldPass})
    count += descriptorCount(*pass);
  if (toneMappedAtRenderSize)
    count += descriptorCount(kToneMapPass) + descriptorCount(kScaleToBackbufferPass);
  else
    count += descriptorCount(kFinalPass);
#ifdef TARNIX_WEB
  count += descriptorCount(kDepthFromVelocityPass);
#endif
  return count;
}
