#pragma once
// Pass parameter blocks: a record shared with the shaders, written freely on the CPU and
// copied once per frame into a GPU-local constant buffer by an explicit copy command.
//
// Each block has one upload buffer per frame context. The copy recorded by a frame runs
// on the GPU later; the frame context's fence (waited for in beginFrame) is what proves
// it has run, so a frame only ever rewrites the upload buffer of its own context and
// never one whose copy may still be pending.
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "gpu/frame_contexts.h"
#include "gpu/passes.h"
#include "gpu/resources.h"
#include "shaders/ParticleConfig.h"

struct ConstantBlockBuffers {
  GpuBuffer* gpuBuffer;                          // Constant type, vertex-and-constant state
  GpuBuffer* uploadBuffers[kFrameContextCount];  // upload heap, one per frame context
};

template <typename T>
struct ConstantBlock {
  T data;  // the CPU copy, written in place by its users
  ConstantBlockBuffers buffers;
};

// Construction values: all zero, the five matrices of ConstantBufferData identity.
template <typename T>
T constantBlockInitialData() {
  T data;
  memset(&data, 0, sizeof(data));
  if constexpr (std::is_same_v<T, ConstantBufferData>) {
    for (float4x4* m : {&data.invViewProjMtx, &data.prevInvViewProjMtx, &data.viewMtx,
                        &data.viewProjMtx, &data.prevViewProjMtx})
      for (int i = 0; i < 4; ++i) m->m[i][i] = 1.0f;
  }
  return data;
}

// Creates the buffers and sets data to the construction values.
template <typename T>
void createConstantBlock(ConstantBlock<T>& block);

// Copies data to the GPU buffer: map and fill the current context's upload buffer, then
// copy-destination transition, copy, transition back. With a SingleBarrierBatch the two
// transitions go through it (the audio renderer); otherwise each is its own barrier call.
// A failed map records nothing this frame.
template <typename T>
void updateConstantBlock(ConstantBlock<T>& block, gfx::GraphicsCommandList* commandList,
                         SingleBarrierBatch* barriers = nullptr);

template <typename T>
void destroyConstantBlock(ConstantBlock<T>& block);

// The untyped work behind the templates.
ConstantBlockBuffers createConstantBlockBuffers(uint64_t size);
void uploadConstantBytes(ConstantBlockBuffers& buffers, const void* data, uint64_t size,
                         gfx::GraphicsCommandList* commandList, SingleBarrierBatch* barriers);
void destroyConstantBlockBuffers(ConstantBlockBuffers& buffers);

template <typename T>
void createConstantBlock(ConstantBlock<T>& block) {
  block.data = constantBlockInitialData<T>();
  block.buffers = createConstantBlockBuffers(sizeof(T));
}

template <typename T>
void updateConstantBlock(ConstantBlock<T>& block, gfx::GraphicsCommandList* commandList,
                         SingleBarrierBatch* barriers) {
  uploadConstantBytes(block.buffers, &block.data, sizeof(T), commandList, barriers);
}

template <typename T>
void destroyConstantBlock(ConstantBlock<T>& block) {
  destroyConstantBlockBuffers(block.buffers);
}
