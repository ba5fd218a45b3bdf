#pragma once
// GPU test support: the graphics layer with the Khronos validation layer on. Every
// validation message (and every error the backend reports) is printed and fails the test
// that is running.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gfx.h"
#include "support/gfx_context.h"

// Turns the debug layer on for factories created while it lives; on destruction fails the
// test if any message arrived, and turns the layer off again.
class ValidationScope {
 public:
  ValidationScope();
  ~ValidationScope();
  ValidationScope(const ValidationScope&) = delete;
  ValidationScope& operator=(const ValidationScope&) = delete;
  static uint32_t messageCount();
  // Between these two calls messages are counted but do not fail the test: for tests that
  // provoke a reported error on purpose. endExpecting returns how many arrived.
  static void beginExpecting();
  static uint32_t endExpecting();
};

// Whether RenderApp's device is Mesa's lavapipe (llvmpipe), the driver the suites' exact
// expectations were taken on: two shaders that share their arithmetic give equal bits there, and
// the golden images were drawn there. Other drivers fuse and order floating-point work their own
// way, per shader, and are held to stated tolerances instead.
bool deviceIsLavapipe();

// A device, queue, allocator, open command list and fence on adapter 0, with helpers to
// make resources and to run the recorded list to completion.
class GpuTest : public ::testing::Test, protected GfxContext {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Closes the list, executes it, waits for the GPU and reopens the list.
  void submitAndWait();
  gfx::Resource* createBuffer(uint64_t size, gfx::HeapType heap, gfx::ResourceStates state,
                              gfx::ResourceFlags flags = gfx::RESOURCE_FLAG_NONE);
  gfx::Resource* createTexture(uint32_t width, uint32_t height, gfx::Format format, gfx::ResourceStates state,
                               gfx::ResourceFlags flags);
  void transition(gfx::Resource* resource, gfx::ResourceStates before, gfx::ResourceStates after);
  // The bytes of a readback (or upload) buffer.
  std::vector<uint8_t> mappedBytes(gfx::Resource* buffer, size_t size);
  // Releases obj at TearDown (after the GPU is idle).
  template <class T>
  T* keep(T* object) {
    owned_.push_back(object);
    return object;
  }

  ValidationScope* validation_ = nullptr;

 private:
  std::vector<gfx::Object*> owned_;
};
