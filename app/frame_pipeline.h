#pragma once
// What one frame records into its command list (frame_pipeline.cpp). The frame loop
// calls the three frame-level steps; the single passes are exposed for the benchmarks,
// which time each one on its own.
#include "app/presentation.h"

// Opens a frame: its command list (pending uploads recorded first), the music's hand-over
// advanced, this frame's descriptor heap and the render-target views reset, the frame's report
// started for the simulation's frame, then recordFrameSetup. *frameHeap is this frame's heap.
gfx::GraphicsCommandList* openFrame(Presentation& presentation, DescriptorAllocator** frameHeap);
// Every frame, first: render-target views, transitions, the two black clears and the
// frame's shader-visible heap.
void recordFrameSetup(Presentation& presentation, gfx::GraphicsCommandList* commandList,
                      DescriptorAllocator& frameHeap);
// Once the music is ready: the constants and the six passes with their copies.
void recordFramePasses(Presentation& presentation, gfx::GraphicsCommandList* commandList,
                       DescriptorAllocator& frameHeap);
// Every frame, last: the back buffer to the present state.
void recordPresentTransition(Presentation& presentation, gfx::GraphicsCommandList* commandList);

// The steps of recordFramePasses, in their order. updateFrameConstants is the two halves
// below: the CPU copies from the camera and the scene, then the uploads (the editor puts
// the simulation's own values in between); recordPassesAfterConstants is everything after.
void updateFrameConstants(Presentation& presentation, gfx::GraphicsCommandList* commandList);
void writeFrameConstants(Presentation& presentation);
void uploadFrameConstants(Presentation& presentation, gfx::GraphicsCommandList* commandList);
void recordPassesAfterConstants(Presentation& presentation, gfx::GraphicsCommandList* commandList,
                                DescriptorAllocator& frameHeap);
void recordParticleSimulation(Presentation& presentation, gfx::GraphicsCommandList* commandList,
                              DescriptorAllocator& frameHeap);
// The hierarchy of the spheres the simulation left, for the scene pass.
void recordSphereBvhBuild(Presentation& presentation, gfx::GraphicsCommandList* commandList,
                          DescriptorAllocator& frameHeap);
void recordScene(Presentation& presentation, gfx::GraphicsCommandList* commandList,
                 DescriptorAllocator& frameHeap);
void recordTemporal(Presentation& presentation, gfx::GraphicsCommandList* commandList,
                    DescriptorAllocator& frameHeap);
// The a-trous iterations a frame runs for the `steps` the timeline asks: iteration k spreads its
// taps k pixels apart, so n iterations reach n(n+1) pixels either side. A render smaller than the
// program's own (pixelScale < 1) runs the count whose reach is nearest the scaled one, at least
// one: the same part of the picture filtered, with fewer passes. Otherwise `steps` itself.
uint32_t atrousIterationsFor(uint32_t steps, float pixelScale);
// Returns the filtered image: the last iteration's target, or ResultTexture without any.
GpuTexture* recordAtrous(Presentation& presentation, gfx::GraphicsCommandList* commandList,
                         DescriptorAllocator& frameHeap);
// This frame's buffers become the next frame's history and previous-frame inputs.
void recordHistoryCopies(Presentation& presentation, gfx::GraphicsCommandList* commandList);
void recordDepthOfField(Presentation& presentation, gfx::GraphicsCommandList* commandList,
                        DescriptorAllocator& frameHeap, GpuTexture* filtered);
// Whether the final pass runs in two (app/frame_passes.h): where the render is not the program's
// own size. At the program's own size it is the one pass, as ever.
bool toneMapsAtRenderSize(const Presentation& presentation);
void recordFinalPass(Presentation& presentation, gfx::GraphicsCommandList* commandList,
                     DescriptorAllocator& frameHeap);
// Whether the final pass blends the title text in at this frame: scene 0 inside the title's frames.
bool titleShows(const FinalPassData& finalPass);
// The back-buffer pixels a render of width x height covers in a window of that size, fitted
// with black bars as the final pass fits it: those whose centres lie inside the fit.
gfx::Rect fittedRect(float width, float height, float windowWidth, float windowHeight);
// The bounding rectangle of an RGBA image's texels whose alpha is above 0; empty (all 0) for none.
gfx::Rect coveredTexels(const uint8_t* rgba, uint32_t width, uint32_t height);
// The back-buffer pixels whose filtered read of the title text (textWidth x textHeight, stretched
// over the picture fitted as fittedRect fits it) can meet one of `texels`; empty for none.
gfx::Rect textWindowRect(const gfx::Rect& texels, uint32_t textWidth, uint32_t textHeight, float width, float height,
                         float windowWidth, float windowHeight);
