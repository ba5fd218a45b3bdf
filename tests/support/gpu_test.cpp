#include "tests/support/gpu_test.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "gpu/render_app.h"

namespace {
std::atomic<uint32_t> gMessages{0};
std::atomic<bool> gExpecting{false};
std::atomic<uint32_t> gExpected{0};

void onMessage(int severity, const char* message, void*) {
  if (gExpecting) {
    ++gExpected;
    std::printf("expected message: %s\n", message);
    return;
  }
  ++gMessages;
  std::printf("validation (%s): %s\n", severity >= 2 ? "error" : "warning", message);
  std::fflush(stdout);
  ADD_FAILURE() << "validation message: " << message;
}
}  // namespace

ValidationScope::ValidationScope() {
  gMessages = 0;
#ifdef _WIN32
  // Wine's Vulkan offers no layers: there the suites check results and the backend's own
  // errors, and validation stays with the Linux runs of the same suites.
  gfx::EnableDebugLayer(onMessage, nullptr, /*requireLayer=*/false);
#else
  gfx::EnableDebugLayer(onMessage, nullptr);
#endif
}

ValidationScope::~ValidationScope() {
  gfx::DisableDebugLayer();
  EXPECT_EQ(gMessages.load(), 0u) << "validation messages were reported";
}

uint32_t ValidationScope::messageCount() { return gMessages.load(); }

void ValidationScope::beginExpecting() {
  gExpected = 0;
  gExpecting = true;
}

uint32_t ValidationScope::endExpecting() {
  gExpecting = false;
  return gExpected.load();
}

bool deviceIsLavapipe() {
  char name[256] = "";
  if (renderApp.adapter == nullptr || !gfx::Succeeded(renderApp.adapter->GetDescription(name, sizeof(name))))
    return false;
  return strstr(name, "llvmpipe") != nullptr;
}

void GpuTest::SetUp() {
  validation_ = new ValidationScope();
  ASSERT_TRUE(create());
  list->SetName(L"test::commandList");
}

void GpuTest::TearDown() {
  if (queue && fence) {
    queue->Signal(fence, ++fenceValue);
    fence->Wait(fenceValue);
  }
  for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) (*it)->Release();
  owned_.clear();
  release();
  delete validation_;
}

void GpuTest::submitAndWait() { ASSERT_TRUE(GfxContext::submitAndWait()); }

gfx::Resource* GpuTest::createBuffer(uint64_t size, gfx::HeapType heap, gfx::ResourceStates state,
                                     gfx::ResourceFlags flags) {
  gfx::HeapProperties properties{heap};
  gfx::ResourceDesc desc;
  desc.Dimension = gfx::RESOURCE_DIMENSION_BUFFER;
  desc.Width = size;
  desc.Layout = gfx::TEXTURE_LAYOUT_ROW_MAJOR;
  desc.Flags = flags;
  gfx::Resource* resource = nullptr;
  EXPECT_TRUE(gfx::Succeeded(
      device->CreateCommittedResource(&properties, gfx::HEAP_FLAG_NONE, &desc, state, nullptr, &resource)));
  return resource ? keep(resource) : nullptr;
}

gfx::Resource* GpuTest::createTexture(uint32_t width, uint32_t height, gfx::Format format, gfx::ResourceStates state,
                                      gfx::ResourceFlags flags) {
  gfx::HeapProperties properties{gfx::HEAP_TYPE_DEFAULT};
  gfx::ResourceDesc desc;
  desc.Dimension = gfx::RESOURCE_DIMENSION_TEXTURE2D;
  desc.Width = width;
  desc.Height = height;
  desc.Format = format;
  desc.Flags = flags;
  gfx::Resource* resource = nullptr;
  EXPECT_TRUE(gfx::Succeeded(
      device->CreateCommittedResource(&properties, gfx::HEAP_FLAG_NONE, &desc, state, nullptr, &resource)));
  return resource ? keep(resource) : nullptr;
}

void GpuTest::transition(gfx::Resource* resource, gfx::ResourceStates before, gfx::ResourceStates after) {
  gfx::ResourceBarrier barrier;
  barrier.Transition.pResource = resource;
  barrier.Transition.StateBefore = before;
  barrier.Transition.StateAfter = after;
  list->ResourceBarrier(1, &barrier);
}

std::vector<uint8_t> GpuTest::mappedBytes(gfx::Resource* buffer, size_t size) {
  void* data = nullptr;
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(gfx::Succeeded(buffer->Map(0, nullptr, &data)));
  if (!data) return bytes;
  bytes.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  buffer->Unmap(0, nullptr);
  return bytes;
}
