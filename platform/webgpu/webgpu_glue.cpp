// The EM_JS side of webgpu_glue.h: each call hands its arguments to TarnixGpu
// (gfx_webgpu.js). Sizes and offsets travel as doubles, which hold them exactly.
#include "platform/webgpu/webgpu_glue.h"

#include <emscripten.h>

// clang-format off
EM_ASYNC_JS(int, wgCreateDevice, (), { return (await TarnixGpu.createDevice()) ? 1 : 0; });
EM_JS(int, wgHasSubgroups, (), { return TarnixGpu.hasSubgroups() ? 1 : 0; });
EM_JS(int, wgCreateBuffer, (double size, uint32_t usage), {
  return TarnixGpu.createBuffer(size, usage);
});
EM_JS(int, wgCreateTexture, (uint32_t width, uint32_t height, const char* format, uint32_t usage), {
  return TarnixGpu.createTexture(width, height, UTF8ToString(format), usage);
});
EM_JS(void, wgRelease, (int id), { TarnixGpu.remove(id); });
EM_JS(void, wgSetLabel, (int id, const char* name), { TarnixGpu.setLabel(id, UTF8ToString(name)); });
EM_JS(void, wgWriteBuffer, (int buffer, double offset, const void* data, double size), {
  TarnixGpu.writeBuffer(buffer, offset, data, size);
});
EM_ASYNC_JS(void, wgReadBuffer, (int buffer, double offset, double size, void* destination), {
  await TarnixGpu.readBuffer(buffer, offset, size, destination);
});
EM_JS(int, wgCreateSampler, (int linear, const char* addressMode), {
  return TarnixGpu.createSampler(linear, UTF8ToString(addressMode));
});
EM_ASYNC_JS(int, wgCreateComputePipeline, (const void* wgsl, uint32_t length, const char* label), {
  return await TarnixGpu.createComputePipeline(wgsl, length, UTF8ToString(label));
});
EM_ASYNC_JS(int, wgCreateRenderPipeline, (const void* vertexWgsl, uint32_t vertexLength, const void* pixelWgsl,
                                          uint32_t pixelLength, const char* descriptionJson, const char* label), {
  return await TarnixGpu.createRenderPipeline(vertexWgsl, vertexLength, pixelWgsl, pixelLength,
                                              JSON.parse(UTF8ToString(descriptionJson)), UTF8ToString(label));
});
EM_JS(void, wgDispatch, (int encoder, int pipeline, const uint32_t* bindings, uint32_t count, uint32_t x,
                         uint32_t y, uint32_t z), {
  TarnixGpu.dispatch(encoder, pipeline, bindings, count, x, y, z);
});
EM_JS(void, wgClear, (int encoder, int target, const float* rgba), {
  TarnixGpu.renderPass(encoder, target, Array.from(HEAPF32.subarray(rgba >> 2, (rgba >> 2) + 4)), null);
});
EM_JS(void, wgDraw, (int encoder, int target, const uint32_t* draw, const float* rectangles,
                     const uint32_t* bindings, uint32_t count), {
  const d = HEAPU32.subarray(draw >> 2, (draw >> 2) + 8);
  const r = Array.from(HEAPF32.subarray(rectangles >> 2, (rectangles >> 2) + 8));
  TarnixGpu.renderPass(encoder, target, null, {
    pipeline: d[0], vertexBuffer: d[1], vertexOffset: d[2], vertexSize: d[3], vertexCount: d[4],
    instanceCount: d[5], firstVertex: d[6], firstInstance: d[7], viewport: r.slice(0, 4),
    scissor: r.slice(4, 8), bindings, count });
});
EM_JS(void, wgCopyBuffer, (int encoder, int source, double sourceOffset, int destination, double destinationOffset,
                           double size), {
  TarnixGpu.copyBuffer(encoder, source, sourceOffset, destination, destinationOffset, size);
});
EM_JS(void, wgCopyTexture, (int encoder, int source, int destination, uint32_t width, uint32_t height), {
  TarnixGpu.copyTexture(encoder, source, destination, width, height);
});
EM_JS(void, wgCopyBufferToTexture, (int encoder, int buffer, double offset, uint32_t bytesPerRow, int texture,
                                    uint32_t width, uint32_t height), {
  TarnixGpu.copyBufferToTexture(encoder, buffer, offset, bytesPerRow, texture, width, height);
});
EM_JS(void, wgCopyTextureToBuffer, (int encoder, int texture, int buffer, double offset, uint32_t bytesPerRow,
                                    uint32_t width, uint32_t height), {
  TarnixGpu.copyTextureToBuffer(encoder, texture, buffer, offset, bytesPerRow, width, height);
});
EM_JS(int, wgCreateEncoder, (), { return TarnixGpu.createEncoder(); });
EM_JS(void, wgSubmit, (int encoder), { TarnixGpu.submit(encoder); });
EM_JS(int, wgCreateFence, (double value), { return TarnixGpu.createFence(value); });
EM_JS(double, wgFenceCompleted, (int fence), { return TarnixGpu.get(fence).completed; });
EM_JS(void, wgSignalFence, (int fence, double value), { TarnixGpu.signalFence(fence, value); });
EM_JS(void, wgSignalFenceOnQueue, (int fence, double value), { TarnixGpu.signalFenceOnQueue(fence, value); });
EM_ASYNC_JS(int, wgWaitFence, (int fence, double value, double timeoutMs), {
  return (await TarnixGpu.waitFence(fence, value, timeoutMs)) ? 1 : 0;
});
EM_JS(void, wgConfigureCanvas, (const char* selector, uint32_t width, uint32_t height), {
  TarnixGpu.configureCanvas(document.querySelector(UTF8ToString(selector)), width, height);
});
EM_ASYNC_JS(void, wgPresent, (int texture, uint32_t width, uint32_t height), {
  await TarnixGpu.present(texture, width, height);
});
// clang-format on
