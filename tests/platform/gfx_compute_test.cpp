// Compute through descriptor tables and root constants, fences, and the errors the layer
// reports instead of undefined behaviour.
#include <cstring>

#include "platform_test_shaders.h"
#include "support/shaders/write_buffer_root.h"
#include "tests/support/gpu_test.h"

namespace {

using namespace gfx;

class ComputeTest : public GpuTest {
 protected:
  // Table {u0, b0} + four root constants, and the pipeline of write_buffer.hlsl.
  void makePipeline() {
    ASSERT_TRUE(Succeeded(createWriteBufferRootSignature(device, &root)));
    keep(root);
    ComputePipelineStateDesc pso;
    pso.pRootSignature = root;
    pso.CS = {kWriteBufferCS, kWriteBufferCSSize};
    ASSERT_TRUE(Succeeded(device->CreateComputePipelineState(&pso, &pipeline)));
    keep(pipeline);
    DescriptorHeapDesc heapDesc{DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 4, DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE};
    ASSERT_TRUE(Succeeded(device->CreateDescriptorHeap(&heapDesc, &heap)));
    keep(heap);
  }

  CpuDescriptorHandle cpuSlot(uint32_t slot) {
    return {heap->GetCPUDescriptorHandleForHeapStart().ptr +
            slot * device->GetDescriptorHandleIncrementSize(DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV)};
  }

  void writeViews(Resource* output, Resource* constants) {
    UnorderedAccessViewDesc uav;
    uav.ViewDimension = UAV_DIMENSION_BUFFER;
    uav.Buffer.NumElements = 256;
    uav.Buffer.StructureByteStride = 4;
    device->CreateUnorderedAccessView(output, nullptr, &uav, cpuSlot(0));
    ConstantBufferViewDesc cbv{constants->GetGPUVirtualAddress(), 256};
    device->CreateConstantBufferView(&cbv, cpuSlot(1));
  }

  void recordDispatch(const uint32_t rootValues[4]) {
    list->SetDescriptorHeaps(1, &heap);
    list->SetPipelineState(pipeline);
    list->SetComputeRootSignature(root);
    list->SetComputeRootDescriptorTable(0, heap->GetGPUDescriptorHandleForHeapStart());
    list->SetComputeRoot32BitConstants(1, 4, rootValues, 0);
    list->Dispatch(4, 1, 1);
  }

  RootSignature* root = nullptr;
  PipelineState* pipeline = nullptr;
  DescriptorHeap* heap = nullptr;
};

TEST_F(ComputeTest, WritesStructuredBufferThroughTableAndRootConstants) {
  makePipeline();
  Resource* output = createBuffer(1024, HEAP_TYPE_DEFAULT, RESOURCE_STATE_UNORDERED_ACCESS,
                                  RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
  Resource* constants = createBuffer(256, HEAP_TYPE_UPLOAD, RESOURCE_STATE_GENERIC_READ);
  Resource* readback = createBuffer(1024, HEAP_TYPE_READBACK, RESOURCE_STATE_COPY_DEST);
  uint32_t params[4] = {3, 200, 0, 0};
  void* mapped = nullptr;
  ASSERT_TRUE(Succeeded(constants->Map(0, nullptr, &mapped)));
  std::memcpy(mapped, params, sizeof(params));
  constants->Unmap(0, nullptr);
  writeViews(output, constants);
  const uint32_t rootValues[4] = {7, 0, 0, 100};
  recordDispatch(rootValues);
  transition(output, RESOURCE_STATE_UNORDERED_ACCESS, RESOURCE_STATE_COPY_SOURCE);
  list->CopyBufferRegion(readback, 0, output, 0, 1024);
  submitAndWait();

  std::vector<uint8_t> bytes = mappedBytes(readback, 1024);
  std::vector<uint32_t> values(256);
  std::memcpy(values.data(), bytes.data(), 1024);
  for (uint32_t i = 0; i < 256; ++i) {
    // Threads past `count` write nothing: the buffer's zero fill shows through.
    uint32_t expected = i < 200 ? i * 3 + 107 : 0;
    ASSERT_EQ(values[i], expected) << "element " << i;
  }
}

TEST_F(ComputeTest, ViewOfTheWrongKindIsReportedAndTheDispatchDropped) {
  makePipeline();
  Resource* output = createBuffer(1024, HEAP_TYPE_DEFAULT, RESOURCE_STATE_UNORDERED_ACCESS,
                                  RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
  Resource* constants = createBuffer(256, HEAP_TYPE_UPLOAD, RESOURCE_STATE_GENERIC_READ);
  writeViews(output, constants);
  // Slot 0 should be the UAV; a constant-buffer view there must not reach the GPU.
  ConstantBufferViewDesc cbv{constants->GetGPUVirtualAddress(), 256};
  device->CreateConstantBufferView(&cbv, cpuSlot(0));
  const uint32_t rootValues[4] = {0, 0, 0, 0};
  ValidationScope::beginExpecting();
  recordDispatch(rootValues);
  EXPECT_EQ(ValidationScope::endExpecting(), 1u);
  submitAndWait();
}

TEST_F(ComputeTest, ReleasedResourceBehindAViewIsReported) {
  makePipeline();
  Resource* constants = createBuffer(256, HEAP_TYPE_UPLOAD, RESOURCE_STATE_GENERIC_READ);
  gfx::HeapProperties properties{HEAP_TYPE_DEFAULT};
  ResourceDesc desc;
  desc.Dimension = RESOURCE_DIMENSION_BUFFER;
  desc.Width = 1024;
  desc.Flags = RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS;
  Resource* output = nullptr;
  ASSERT_TRUE(Succeeded(device->CreateCommittedResource(&properties, HEAP_FLAG_NONE, &desc,
                                                        RESOURCE_STATE_UNORDERED_ACCESS, nullptr, &output)));
  writeViews(output, constants);
  output->Release();
  const uint32_t rootValues[4] = {0, 0, 0, 0};
  ValidationScope::beginExpecting();
  recordDispatch(rootValues);
  EXPECT_EQ(ValidationScope::endExpecting(), 1u);
  submitAndWait();
}

TEST_F(ComputeTest, ViewsReachingOutsideTheirBufferAreRefused) {
  makePipeline();
  Resource* output = createBuffer(1024, HEAP_TYPE_DEFAULT, RESOURCE_STATE_UNORDERED_ACCESS,
                                  RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
  UnorderedAccessViewDesc uav;
  uav.ViewDimension = UAV_DIMENSION_BUFFER;
  uav.Buffer.NumElements = 257;  // one element past the end
  uav.Buffer.StructureByteStride = 4;
  ValidationScope::beginExpecting();
  device->CreateUnorderedAccessView(output, nullptr, &uav, cpuSlot(0));
  uav.Buffer.NumElements = 1;
  uav.Buffer.StructureByteStride = 0;  // a typed view, not provided
  device->CreateUnorderedAccessView(output, nullptr, &uav, cpuSlot(0));
  ConstantBufferViewDesc cbv{output->GetGPUVirtualAddress(), 100};  // not a multiple of 256
  device->CreateConstantBufferView(&cbv, cpuSlot(1));
  cbv = {output->GetGPUVirtualAddress() + 4096, 256};  // past the buffer
  device->CreateConstantBufferView(&cbv, cpuSlot(1));
  device->CreateConstantBufferView(&cbv, {cpuSlot(0).ptr + 64 * 32});  // past the heap
  EXPECT_EQ(ValidationScope::endExpecting(), 5u);
  // Nothing was written: the slots are still empty, and a Dispatch on them is refused.
  const uint32_t rootValues[4] = {0, 0, 0, 0};
  ValidationScope::beginExpecting();
  recordDispatch(rootValues);
  EXPECT_EQ(ValidationScope::endExpecting(), 1u);
  submitAndWait();
}

TEST_F(ComputeTest, PipelineWhoseShaderBindingIsMissingFromTheRootSignatureFails) {
  DescriptorRange range;
  range.RangeType = DESCRIPTOR_RANGE_TYPE_UAV;
  range.NumDescriptors = 1;
  RootParameter parameter;
  parameter.DescriptorTable = {1, &range};
  RootSignatureDesc desc;
  desc.NumParameters = 1;
  desc.pParameters = &parameter;
  RootSignature* partial = nullptr;
  ASSERT_TRUE(Succeeded(device->CreateRootSignature(0, &desc, &partial, nullptr)));
  keep(partial);
  ComputePipelineStateDesc pso;
  pso.pRootSignature = partial;
  pso.CS = {kWriteBufferCS, kWriteBufferCSSize};
  PipelineState* state = nullptr;
  ValidationScope::beginExpecting();
  EXPECT_TRUE(Failed(device->CreateComputePipelineState(&pso, &state)));
  EXPECT_EQ(ValidationScope::endExpecting(), 1u);
  EXPECT_EQ(state, nullptr);
}

TEST_F(ComputeTest, RootSignatureErrorsComeBackAsText) {
  RootParameter parameter;
  parameter.ParameterType = ROOT_PARAMETER_TYPE_CBV;  // root descriptors are not provided
  RootSignatureDesc desc;
  desc.NumParameters = 1;
  desc.pParameters = &parameter;
  RootSignature* signature = nullptr;
  const char* error = nullptr;
  EXPECT_TRUE(Failed(device->CreateRootSignature(0, &desc, &signature, &error)));
  ASSERT_NE(error, nullptr);
  EXPECT_NE(std::strstr(error, "root descriptors"), nullptr);

  // Sixteen SRVs from t0 reach binding 25, where s1 lives: the overlap is refused.
  DescriptorRange range;
  range.NumDescriptors = 16;
  parameter.ParameterType = ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE;
  parameter.DescriptorTable = {1, &range};
  StaticSamplerDesc sampler;
  sampler.ShaderRegister = 1;
  desc.NumStaticSamplers = 1;
  desc.pStaticSamplers = &sampler;
  EXPECT_TRUE(Failed(device->CreateRootSignature(0, &desc, &signature, &error)));
  EXPECT_NE(std::strstr(error, "share binding"), nullptr);
}

TEST_F(GpuTest, FenceSignalsWaitsAndEventsFromQueueAndCpu) {
  ASSERT_TRUE(Succeeded(queue->Signal(fence, 5)));
  ASSERT_TRUE(Succeeded(fence->Wait(5)));
  EXPECT_EQ(fence->GetCompletedValue(), 5u);
  fenceValue = 5;

  Event* event = CreateFenceEvent();
  EXPECT_EQ(event->WaitForSingleObject(0), kWaitTimeout);  // never armed: not set
  ASSERT_TRUE(Succeeded(fence->SetEventOnCompletion(6, event)));
  EXPECT_EQ(event->WaitForSingleObject(0), kWaitTimeout);
  ASSERT_TRUE(Succeeded(fence->Signal(6)));
  EXPECT_EQ(event->WaitForSingleObject(kInfinite), kOk);
  EXPECT_EQ(event->WaitForSingleObject(0), kWaitTimeout);  // auto-reset
  CloseHandle(event);
  fenceValue = 6;

  // A queue Wait holds back later work until the CPU signals.
  ASSERT_TRUE(Succeeded(queue->Wait(fence, 7)));
  ASSERT_TRUE(Succeeded(queue->Signal(fence, 8)));
  EXPECT_EQ(fence->Wait(8, 50), kWaitTimeout);
  ASSERT_TRUE(Succeeded(fence->Signal(7)));
  EXPECT_EQ(fence->Wait(8), kOk);
  fenceValue = 8;
}

TEST_F(GpuTest, FenceMisuseFailsInsteadOfHanging) {
  ValidationScope::beginExpecting();
  EXPECT_TRUE(Failed(fence->Wait(1)));  // nothing will ever signal 1
  ASSERT_TRUE(Succeeded(queue->Signal(fence, 3)));
  EXPECT_TRUE(Failed(queue->Signal(fence, 2)));  // a timeline cannot go back
  EXPECT_TRUE(Failed(fence->Signal(3)));
  EXPECT_EQ(ValidationScope::endExpecting(), 3u);
  fenceValue = 3;
}

TEST_F(GpuTest, MapIsOnlyForUploadAndReadbackBuffers) {
  Resource* buffer = createBuffer(256, HEAP_TYPE_DEFAULT, RESOURCE_STATE_COMMON);
  Resource* upload = createBuffer(256, HEAP_TYPE_UPLOAD, RESOURCE_STATE_GENERIC_READ);
  void* data = nullptr;
  ValidationScope::beginExpecting();
  EXPECT_TRUE(Failed(buffer->Map(0, nullptr, &data)));
  EXPECT_EQ(ValidationScope::endExpecting(), 1u);
  EXPECT_EQ(data, nullptr);
  ASSERT_TRUE(Succeeded(upload->Map(0, nullptr, &data)));
  EXPECT_NE(data, nullptr);
  EXPECT_NE(buffer->GetGPUVirtualAddress(), upload->GetGPUVirtualAddress());
}

}  // namespace

// Timestamps around a dispatch come back in order with a usable frequency; resolving a query
// that was never ended is refused rather than waited on forever.
TEST_F(ComputeTest, TimestampsAroundADispatchAreOrdered) {
  makePipeline();
  Resource* output = createBuffer(1024, HEAP_TYPE_DEFAULT, RESOURCE_STATE_UNORDERED_ACCESS,
                                  RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
  Resource* constants = createBuffer(256, HEAP_TYPE_UPLOAD, RESOURCE_STATE_GENERIC_READ);
  Resource* readback = createBuffer(24, HEAP_TYPE_READBACK, RESOURCE_STATE_COPY_DEST);
  writeViews(output, constants);
  QueryHeapDesc desc{QUERY_HEAP_TYPE_TIMESTAMP, 3};
  QueryHeap* queries = nullptr;
  ASSERT_TRUE(Succeeded(device->CreateQueryHeap(&desc, &queries)));
  keep(queries);
  UINT64 frequency = 0;
  ASSERT_TRUE(Succeeded(queue->GetTimestampFrequency(&frequency)));
  EXPECT_GT(frequency, 0u);

  const uint32_t rootValues[4] = {1, 256, 0, 0};
  list->EndQuery(queries, QUERY_TYPE_TIMESTAMP, 0);
  recordDispatch(rootValues);
  list->EndQuery(queries, QUERY_TYPE_TIMESTAMP, 1);
  list->ResolveQueryData(queries, QUERY_TYPE_TIMESTAMP, 0, 2, readback, 0);
  ValidationScope::beginExpecting();
  list->ResolveQueryData(queries, QUERY_TYPE_TIMESTAMP, 1, 2, readback, 8);
  EXPECT_EQ(ValidationScope::endExpecting(), 1u);
  submitAndWait();

  std::vector<uint8_t> bytes = mappedBytes(readback, 24);
  uint64_t ticks[3];
  std::memcpy(ticks, bytes.data(), sizeof(ticks));
  EXPECT_GT(ticks[0], 0u);
  EXPECT_GE(ticks[1], ticks[0]);
  EXPECT_EQ(ticks[2], 0u) << "the refused resolve wrote nothing";
}
