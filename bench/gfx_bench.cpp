// Costs of the graphics layer itself on the device at hand (lavapipe here): recording a
// Dispatch (descriptor table materialised into a set, push constants), an empty frame
// through the program's protocol (submit, signal, wait, offscreen Present), and a window's
// present with the back buffer in the window's channel order or in the other.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>

#include "platform/gfx.h"
#include "platform/window.h"
#include "platform_test_shaders.h"
#include "support/gfx_context.h"
#include "support/shaders/write_buffer_root.h"

namespace {

using namespace gfx;

struct Context : GfxContext {
  bool ok = false;
  Context() { ok = create(); }
  ~Context() { release(); }
  void finish() { submitAndWait(); }
};

void BM_RecordDispatchWithTable(benchmark::State& state) {
  Context c;
  if (!c.ok) return state.SkipWithError("no graphics device");
  RootSignature* root = nullptr;
  createWriteBufferRootSignature(c.device, &root);
  ComputePipelineStateDesc pso;
  pso.pRootSignature = root;
  pso.CS = {kWriteBufferCS, kWriteBufferCSSize};
  PipelineState* pipeline = nullptr;
  c.device->CreateComputePipelineState(&pso, &pipeline);
  DescriptorHeapDesc heapDesc{DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 2, DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE};
  DescriptorHeap* heap = nullptr;
  c.device->CreateDescriptorHeap(&heapDesc, &heap);
  HeapProperties defaultHeap{HEAP_TYPE_DEFAULT}, uploadHeap{HEAP_TYPE_UPLOAD};
  ResourceDesc desc;
  desc.Dimension = RESOURCE_DIMENSION_BUFFER;
  desc.Width = 1024;
  desc.Flags = RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS;
  Resource* output = nullptr;
  Resource* constants = nullptr;
  c.device->CreateCommittedResource(&defaultHeap, HEAP_FLAG_NONE, &desc, RESOURCE_STATE_UNORDERED_ACCESS, nullptr,
                                    &output);
  desc.Width = 256;
  desc.Flags = 0;
  c.device->CreateCommittedResource(&uploadHeap, HEAP_FLAG_NONE, &desc, RESOURCE_STATE_GENERIC_READ, nullptr,
                                    &constants);
  UnorderedAccessViewDesc uav;
  uav.ViewDimension = UAV_DIMENSION_BUFFER;
  uav.Buffer.NumElements = 256;
  uav.Buffer.StructureByteStride = 4;
  CpuDescriptorHandle start = heap->GetCPUDescriptorHandleForHeapStart();
  c.device->CreateUnorderedAccessView(output, nullptr, &uav, start);
  ConstantBufferViewDesc cbv{constants->GetGPUVirtualAddress(), 256};
  c.device->CreateConstantBufferView(&cbv, {start.ptr + c.device->GetDescriptorHandleIncrementSize(0)});
  const uint32_t rootValues[4] = {1, 2, 3, 4};
  int recorded = 0;
  for (auto _ : state) {
    c.list->SetDescriptorHeaps(1, &heap);
    c.list->SetPipelineState(pipeline);
    c.list->SetComputeRootSignature(root);
    c.list->SetComputeRootDescriptorTable(0, heap->GetGPUDescriptorHandleForHeapStart());
    c.list->SetComputeRoot32BitConstants(1, 4, rootValues, 0);
    c.list->Dispatch(1, 1, 1);
    if (++recorded == 512) {  // keep the lists and descriptor pools at a frame's size
      state.PauseTiming();
      c.finish();
      recorded = 0;
      state.ResumeTiming();
    }
  }
  c.finish();
  Object* objects[] = {output, constants, heap, pipeline, root};
  for (Object* object : objects)
    if (object) object->Release();
}
BENCHMARK(BM_RecordDispatchWithTable);

void BM_EmptyFrameOffscreen(benchmark::State& state) {
  Context c;
  if (!c.ok) return state.SkipWithError("no graphics device");
  SwapChainDesc desc;
  desc.BufferDesc.Width = static_cast<UINT>(state.range(0));
  desc.BufferDesc.Height = static_cast<UINT>(state.range(0) * 9 / 16);
  desc.BufferCount = 3;
  SwapChain* swapChain = nullptr;
  if (Failed(c.factory->CreateSwapChain(c.queue, &desc, &swapChain))) return state.SkipWithError("no swap chain");
  for (auto _ : state) {
    c.finish();
    swapChain->Present(1, 0);
  }
  swapChain->Release();
}
BENCHMARK(BM_EmptyFrameOffscreen)->Arg(960)->Arg(1920)->Unit(benchmark::kMicrosecond);

// CPU seconds of the whole process (every driver thread, as std::clock counts them on Linux),
// which is what a software driver's present costs; the display's pacing leaves the wall time
// at its refresh.
double processCpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// Arg 0: R8G8B8A8 back buffers (a converting blit into a B8G8R8A8 window); 1: the backend's
// preferred format (a copy). "cpu_ms" is the process's CPU time per presented frame.
void BM_PresentToWindow(benchmark::State& state) {
  uint32_t screenWidth = 0, screenHeight = 0;
  if (!windowScreenSize(&screenWidth, &screenHeight)) return state.SkipWithError("no display");
  Window* window = windowCreate("TARNIX", 1280, 720, windowDefaultProcedure);
  if (!window) return state.SkipWithError("no window");
  {
    Context c;
    if (!c.ok) return state.SkipWithError("no graphics device");
    SwapChainDesc desc;
    desc.BufferDesc.Width = 1280;
    desc.BufferDesc.Height = 720;
    desc.BufferDesc.Format = state.range(0) ? PreferredBackBufferFormat() : FORMAT_R8G8B8A8_UNORM;
    desc.BufferCount = 3;
    desc.OutputWindow = window;
    SwapChain* swapChain = nullptr;
    if (Failed(c.factory->CreateSwapChain(c.queue, &desc, &swapChain))) return state.SkipWithError("no swap chain");
    for (int warm = 0; warm < 10; ++warm) swapChain->Present(1, 0);
    c.finish();
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
      swapChain->Present(1, 0);
      WindowMessage message;
      while (windowPeekMessage(&message)) windowDispatchMessage(&message);
    }
    c.finish();
    state.counters["cpu_ms"] = (processCpuSeconds() - cpuBefore) * 1e3 / double(state.iterations());
    swapChain->Release();
  }
  windowRelease(window);
}
BENCHMARK(BM_PresentToWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(120);

}  // namespace

BENCHMARK_MAIN();
