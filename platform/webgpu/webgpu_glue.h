#pragma once
// The calls from the C++ backend into the browser's WebGPU (TarnixGpu in gfx_webgpu.js).
// Objects are indices into TarnixGpu's table (0: none). The asynchronous ones (device,
// pipelines, buffer reads, fence waits, presentation) suspend the program until the browser
// answers (the build links with ASYNCIFY).
#include <cstdint>

// EM_ASYNC_JS imports a function under a name of its own; every caller must use that name.
#define TARNIX_ASYNC_IMPORT(name) __attribute__((import_name("__asyncjs__" #name)))

extern "C" {
int wgCreateDevice() TARNIX_ASYNC_IMPORT(wgCreateDevice);
int wgHasSubgroups();
int wgCreateBuffer(double size, uint32_t usage);
int wgCreateTexture(uint32_t width, uint32_t height, const char* format, uint32_t usage);
void wgRelease(int id);
void wgSetLabel(int id, const char* name);  // a pipeline's name, for the pass timings
void wgWriteBuffer(int buffer, double offset, const void* data, double size);
void wgReadBuffer(int buffer, double offset, double size, void* destination) TARNIX_ASYNC_IMPORT(wgReadBuffer);
int wgCreateSampler(int linear, const char* addressMode);
int wgCreateComputePipeline(const void* wgsl, uint32_t length, const char* label) TARNIX_ASYNC_IMPORT(wgCreateComputePipeline);
int wgCreateRenderPipeline(const void* vertexWgsl, uint32_t vertexLength, const void* pixelWgsl,
                           uint32_t pixelLength, const char* descriptionJson, const char* label) TARNIX_ASYNC_IMPORT(wgCreateRenderPipeline);
// Bindings: `count` records of six words: binding, kind (0 buffer, 1 texture, 2 sampler),
// object, byte offset, byte size, unused.
void wgDispatch(int encoder, int pipeline, const uint32_t* bindings, uint32_t count, uint32_t x, uint32_t y,
                uint32_t z);
void wgClear(int encoder, int target, const float* rgba);
// draw: pipeline, vertex buffer, vertex offset, vertex size, vertex count, instance count,
// first vertex, first instance, then viewport x, y, w, h and scissor x, y, w, h as floats.
void wgDraw(int encoder, int target, const uint32_t* draw, const float* rectangles, const uint32_t* bindings,
            uint32_t count);
void wgCopyBuffer(int encoder, int source, double sourceOffset, int destination, double destinationOffset,
                  double size);
void wgCopyTexture(int encoder, int source, int destination, uint32_t width, uint32_t height);
void wgCopyBufferToTexture(int encoder, int buffer, double offset, uint32_t bytesPerRow, int texture,
                           uint32_t width, uint32_t height);
void wgCopyTextureToBuffer(int encoder, int texture, int buffer, double offset, uint32_t bytesPerRow,
                           uint32_t width, uint32_t height);
int wgCreateEncoder();
// Finishes the encoder and submits its commands; 0 encoder submits nothing.
void wgSubmit(int encoder);
int wgCreateFence(double value);
double wgFenceCompleted(int fence);
void wgSignalFence(int fence, double value);
void wgSignalFenceOnQueue(int fence, double value);
// True once the fence reaches value; false after timeoutMs (negative: no time-out).
int wgWaitFence(int fence, double value, double timeoutMs) TARNIX_ASYNC_IMPORT(wgWaitFence);
void wgConfigureCanvas(const char* selector, uint32_t width, uint32_t height);
void wgPresent(int texture, uint32_t width, uint32_t height) TARNIX_ASYNC_IMPORT(wgPresent);
}

// GPUBufferUsage and GPUTextureUsage bits.
namespace wg {
constexpr uint32_t kBufferMapRead = 0x1, kBufferCopySource = 0x4, kBufferCopyDestination = 0x8,
                   kBufferIndex = 0x10, kBufferVertex = 0x20, kBufferUniform = 0x40, kBufferStorage = 0x80;
constexpr uint32_t kTextureCopySource = 0x1, kTextureCopyDestination = 0x2, kTextureBinding = 0x4,
                   kTextureStorage = 0x8, kTextureRenderAttachment = 0x10;
}  // namespace wg
