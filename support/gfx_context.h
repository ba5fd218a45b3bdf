#pragma once
// A graphics device with one queue, one command allocator and list, and a fence: what the
// graphics layer's own suites and its benchmark record into and wait on.
#include <cstdint>

#include "platform/gfx.h"

struct GfxContext {
  gfx::Factory* factory = nullptr;
  gfx::Adapter* adapter = nullptr;
  gfx::Device* device = nullptr;
  gfx::CommandQueue* queue = nullptr;
  gfx::CommandAllocator* allocator = nullptr;
  gfx::GraphicsCommandList* list = nullptr;
  gfx::Fence* fence = nullptr;
  uint64_t fenceValue = 0;

  // False when an object could not be made; what was made is released by release().
  bool create() {
    using namespace gfx;
    CommandQueueDesc queueDesc;
    return Succeeded(CreateFactory(0, &factory)) && Succeeded(factory->EnumAdapters(0, &adapter)) &&
           Succeeded(CreateDevice(adapter, FEATURE_LEVEL_12_0, &device)) &&
           Succeeded(device->CreateCommandQueue(&queueDesc, &queue)) &&
           Succeeded(device->CreateCommandAllocator(COMMAND_LIST_TYPE_DIRECT, &allocator)) &&
           Succeeded(device->CreateCommandList(0, COMMAND_LIST_TYPE_DIRECT, allocator, nullptr, &list)) &&
           Succeeded(device->CreateFence(0, FENCE_FLAG_NONE, &fence));
  }

  // Closes the list, runs it, waits for the GPU and reopens the list; false on a failed call.
  bool submitAndWait() {
    using namespace gfx;
    if (Failed(list->Close())) return false;
    queue->ExecuteCommandLists(1, &list);
    return Succeeded(queue->Signal(fence, ++fenceValue)) && Succeeded(fence->Wait(fenceValue)) &&
           fence->GetCompletedValue() == fenceValue && Succeeded(allocator->Reset()) &&
           Succeeded(list->Reset(allocator, nullptr));
  }

  // Waits for what was submitted, then releases everything in reverse.
  void release() {
    if (queue != nullptr && fence != nullptr) {
      queue->Signal(fence, ++fenceValue);
      fence->Wait(fenceValue);
    }
    gfx::Object* objects[] = {list, allocator, fence, queue, device, adapter, factory};
    for (gfx::Object* object : objects)
      if (object != nullptr) object->Release();
    *this = GfxContext{};
  }
};
