// Factory, adapter, device, queue, fences and events, root signatures and pipelines.
#include <cstdio>
#include <string>

#include "platform/webgpu/webgpu_glue.h"
#include "platform/webgpu/wg_internal.h"

namespace gfx::webgpu {
namespace {

constexpr uint32_t kRootConstantSlots = 256;
constexpr uint32_t kRootConstantSlotBytes = 256;  // the uniform offset alignment

// ---- Fences and events ----
class WgEvent final : public Event {
 public:
  HRESULT WaitForSingleObject(uint32_t timeoutMs) override {
    if (fence_ == nullptr) return kWaitTimeout;
    bool reached = wgWaitFence(fence_->id, double(value_), timeoutMs == kInfinite ? -1.0 : double(timeoutMs));
    if (!reached) return kWaitTimeout;
    holdReference<WgFence>(fence_, nullptr);
    return kOk;
  }
  void arm(WgFence* fence, UINT64 value) {
    holdReference(fence_, fence);
    value_ = value;
  }
  ~WgEvent() override { holdReference<WgFence>(fence_, nullptr); }

 private:
  WgFence* fence_ = nullptr;
  UINT64 value_ = 0;
};

uint32_t bindingBase(DescriptorRangeType type) {
  switch (type) {
    case DESCRIPTOR_RANGE_TYPE_SRV: return kBindingSrvBase;
    case DESCRIPTOR_RANGE_TYPE_UAV: return kBindingUavBase;
    case DESCRIPTOR_RANGE_TYPE_SAMPLER: return kBindingSamplerBase;
    default: return kBindingCbvBase;
  }
}

const char* addressModeName(TextureAddressMode mode) {
  switch (mode) {
    case TEXTURE_ADDRESS_MODE_WRAP: return "repeat";
    case TEXTURE_ADDRESS_MODE_MIRROR: return "mirror-repeat";
    // WebGPU has no border colour: the edge texel stands in for it.
    default: return "clamp-to-edge";
  }
}

WgRootSignature::Parameter tableParameter(const RootDescriptorTable& table) {
  WgRootSignature::Parameter parameter{ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE, {}, 0};
  uint32_t offset = 0;
  for (UINT r = 0; r < table.NumDescriptorRanges; ++r) {
    const DescriptorRange& range = table.pDescriptorRanges[r];
    if (range.OffsetInDescriptorsFromTableStart != DESCRIPTOR_RANGE_OFFSET_APPEND)
      offset = range.OffsetInDescriptorsFromTableStart;
    parameter.ranges.push_back({bindingBase(range.RangeType) + range.BaseShaderRegister, range.NumDescriptors, offset});
    offset += range.NumDescriptors;
  }
  return parameter;
}

}  // namespace

namespace {
WgDevice* device = nullptr;

// A shader-resource or unordered-access view's record: a buffer's byte range (its elements of
// the structure's stride, 4 bytes when it has none), or, without a buffer, the whole texture.
template <class BufferView>
void writeView(CpuDescriptorHandle destination, WgResource* resource, const BufferView* buffer) {
  if (buffer == nullptr) {
    *recordAt(destination.ptr) = {ViewKind::Texture, resource, 0, 0, 0};
    return;
  }
  const uint64_t stride = buffer->StructureByteStride ? buffer->StructureByteStride : 4;
  *recordAt(destination.ptr) = {ViewKind::Buffer, resource, buffer->FirstElement * stride,
                                uint64_t(buffer->NumElements) * stride, 0};
}
}  // namespace

WgDevice::WgDevice()
    : ring(wgCreateBuffer(double(kRootConstantSlots * kRootConstantSlotBytes),
                          wg::kBufferUniform | wg::kBufferCopyDestination)) {}

HRESULT WgDevice::CreateCommandList(UINT, CommandListType, CommandAllocator*, PipelineState*,
                                    GraphicsCommandList** list) {
  return createCommandList(list);
}

void WgDevice::CreateRenderTargetView(Resource* resource, const RenderTargetViewDesc*,
                                      CpuDescriptorHandle destination) {
  *recordAt(destination.ptr) = {ViewKind::RenderTarget, static_cast<WgResource*>(resource), 0, 0, 0};
}

void WgDevice::CreateSampler(const SamplerDesc* desc, CpuDescriptorHandle destination) {
  int sampler = wgCreateSampler(desc->Filter != FILTER_MIN_MAG_MIP_POINT, addressModeName(desc->AddressU));
  *recordAt(destination.ptr) = {ViewKind::Sampler, nullptr, 0, 0, sampler};
}

WgDevice::~WgDevice() {
  wgRelease(ring);
  if (device == this) device = nullptr;
}

WgDevice* theDevice() { return device; }
int rootConstantRing() { return device->ring; }
uint32_t nextRootConstantSlot() {
  uint32_t slot = device->nextSlot;
  device->nextSlot = (slot + 1) % kRootConstantSlots;
  return slot * kRootConstantSlotBytes;
}

HRESULT WgDevice::CreateCommittedResource(const HeapProperties* heapProperties, HeapFlags,
                                          const ResourceDesc* desc, ResourceStates, const ClearValue*,
                                          Resource** resource) {
  if (!heapProperties || !desc || !resource) return kInvalidArg;
  *resource = nullptr;
  if (desc->Dimension != RESOURCE_DIMENSION_BUFFER && desc->Dimension != RESOURCE_DIMENSION_TEXTURE2D)
    return kInvalidArg;
  auto* created = new WgResource(*desc, heapProperties->Type);
  if (created->id == 0) {
    created->Release();
    return kInvalidArg;  // a format WebGPU does not have
  }
  *resource = created;
  return kOk;
}

void WgDevice::CreateShaderResourceView(Resource* resource, const ShaderResourceViewDesc* desc,
                                        CpuDescriptorHandle destination) {
  const bool buffer = desc && desc->ViewDimension == SRV_DIMENSION_BUFFER;
  writeView(destination, static_cast<WgResource*>(resource), buffer ? &desc->Buffer : nullptr);
}

void WgDevice::CreateUnorderedAccessView(Resource* resource, Resource*, const UnorderedAccessViewDesc* desc,
                                         CpuDescriptorHandle destination) {
  const bool buffer = desc && desc->ViewDimension == UAV_DIMENSION_BUFFER;
  writeView(destination, static_cast<WgResource*>(resource), buffer ? &desc->Buffer : nullptr);
}

void WgDevice::CreateConstantBufferView(const ConstantBufferViewDesc* desc, CpuDescriptorHandle destination) {
  uint64_t offset = 0;
  WgResource* buffer = WgResource::fromAddress(desc->BufferLocation, &offset);
  *recordAt(destination.ptr) = {ViewKind::Buffer, buffer, offset, desc->SizeInBytes, 0};
}

HRESULT WgDevice::CreateRootSignature(UINT, const RootSignatureDesc* desc, RootSignature** rootSignature,
                                      const char** errorText) {
  static std::string error;
  auto* signature = new WgRootSignature();
  for (UINT p = 0; p < desc->NumParameters; ++p) {
    const RootParameter& parameter = desc->pParameters[p];
    if (parameter.ParameterType == ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE) {
      signature->parameters.push_back(tableParameter(parameter.DescriptorTable));
    } else if (parameter.ParameterType == ROOT_PARAMETER_TYPE_32BIT_CONSTANTS && parameter.Constants.Num32BitValues <= 4) {
      signature->parameters.push_back({parameter.ParameterType, {}, kBindingCbvBase + parameter.Constants.ShaderRegister});
    } else {
      error = "root descriptors and more than 16 bytes of root constants are not provided";
      if (errorText) *errorText = error.c_str();
      signature->Release();
      return kInvalidArg;
    }
  }
  for (UINT s = 0; s < desc->NumStaticSamplers; ++s) {
    const StaticSamplerDesc& sampler = desc->pStaticSamplers[s];
    int id = wgCreateSampler(sampler.Filter != FILTER_MIN_MAG_MIP_POINT, addressModeName(sampler.AddressU));
    signature->samplers.push_back({kBindingSamplerBase + sampler.ShaderRegister, 2, uint32_t(id), 0, 0, 0});
  }
  *rootSignature = signature;
  return kOk;
}

WgRootSignature::~WgRootSignature() {
  for (const Binding& sampler : samplers) wgRelease(int(sampler.object));
}

HRESULT WgDevice::CreateComputePipelineState(const ComputePipelineStateDesc* desc, PipelineState** state) {
  *state = nullptr;
  int id = wgCreateComputePipeline(desc->CS.pShaderBytecode, uint32_t(desc->CS.BytecodeLength), "compute");
  if (id == 0) return kFail;
  auto* pipeline = new WgPipelineState();
  pipeline->id = id;
  *state = pipeline;
  return kOk;
}

WgPipelineState::~WgPipelineState() {
  if (id != 0) wgRelease(id);
}

HRESULT WgPipelineState::SetName(const char* name) {
  if (id != 0 && name) wgSetLabel(id, name);
  return kOk;
}

void WgDevice::GetCopyableFootprints(const ResourceDesc* desc, UINT, UINT, UINT64 baseOffset,
                                     PlacedSubresourceFootprint* layouts, UINT* numRows, UINT64* rowSizeInBytes,
                                     UINT64* totalBytes) {
  const bool buffer = desc->Dimension == RESOURCE_DIMENSION_BUFFER;
  const uint64_t rowBytes = buffer ? desc->Width : desc->Width * FormatBytesPerPixel(desc->Format);
  const uint64_t pitch = buffer ? rowBytes : (rowBytes + 255) / 256 * 256;  // WebGPU's bytesPerRow too
  const uint32_t rows = buffer ? 1 : desc->Height;
  if (layouts) {
    layouts->Offset = baseOffset;
    layouts->Footprint = {desc->Format, UINT(desc->Width), rows, 1, UINT(pitch)};
  }
  if (numRows) *numRows = rows;
  if (rowSizeInBytes) *rowSizeInBytes = rowBytes;
  if (totalBytes) *totalBytes = pitch * (rows - 1) + rowBytes;
}

// ---- Fences ----
WgFence::WgFence(UINT64 value) : id(wgCreateFence(double(value))) {}
WgFence::~WgFence() { wgRelease(id); }
UINT64 WgFence::GetCompletedValue() { return UINT64(wgFenceCompleted(id)); }
HRESULT WgFence::Signal(UINT64 value) {
  wgSignalFence(id, double(value));
  return kOk;
}
HRESULT WgFence::SetEventOnCompletion(UINT64 value, Event* event) {
  if (event == nullptr) return Wait(value, kInfinite);
  static_cast<WgEvent*>(event)->arm(this, value);
  return kOk;
}
HRESULT WgFence::Wait(UINT64 value, uint32_t timeoutMs) {
  return wgWaitFence(id, double(value), timeoutMs == kInfinite ? -1.0 : double(timeoutMs)) ? kOk : kWaitTimeout;
}

HRESULT WgQueue::Signal(Fence* fence, UINT64 value) {
  wgSignalFenceOnQueue(static_cast<WgFence*>(fence)->id, double(value));
  return kOk;
}

// ---- Factory and adapter ----
namespace {

class WgAdapter final : public Counted<Adapter> {
 public:
  HRESULT GetDescription(char* text, size_t capacity) override {
    if (text && capacity) snprintf(text, capacity, "WebGPU (%s)", wgHasSubgroups() ? "subgroups" : "no subgroups");
    return kOk;
  }
  // Browsers do not say whether an adapter draws on the CPU (a fallback adapter is a hint
  // Chromium's software one does not give), and the page speaks of slow machines itself.
  UINT GetFlags() override { return 0; }
  HRESULT GetDesc(AdapterDesc* desc) override {
    if (!desc) return kInvalidArg;
    *desc = AdapterDesc{};
    GetDescription(desc->Description, sizeof(desc->Description));
    snprintf(desc->Api, sizeof(desc->Api), "WebGPU");
    return kOk;
  }
  // The page checks the adapter's limits and features before the program starts.
  HRESULT CheckRequirements(const DeviceRequirements*, Window*, char* whyNot, size_t capacity) override {
    if (whyNot && capacity) whyNot[0] = 0;
    return kOk;
  }
};

class WgFactory final : public Counted<Factory> {
 public:
  HRESULT EnumAdapters(UINT index, Adapter** adapter) override {
    *adapter = nullptr;
    if (index != 0 || !wgCreateDevice()) return kNotFound;
    *adapter = new WgAdapter();
    return kOk;
  }
  HRESULT CreateSwapChain(CommandQueue* queue, const SwapChainDesc* desc, SwapChain** swapChain) override {
    return createSwapChain(queue, desc, swapChain);
  }
};

}  // namespace
}  // namespace gfx::webgpu

namespace gfx {

Event* CreateFenceEvent() { return new webgpu::WgEvent(); }
void CloseHandle(Event* event) { delete event; }

HRESULT CreateFactory(UINT, Factory** factory) {
  *factory = new webgpu::WgFactory();
  return kOk;
}

HRESULT CreateDevice(Adapter* adapter, FeatureLevel, Device** device) {
  *device = nullptr;
  if (adapter == nullptr) return kInvalidArg;
  webgpu::device = new webgpu::WgDevice();
  *device = webgpu::device;
  return kOk;
}

// The shaders are WGSL here; the page has checked what they need.
HRESULT ReflectShaderNeeds(const ShaderBytecode&, ShaderNeeds* needs) {
  if (needs) *needs = ShaderNeeds{};
  return kNotImplemented;
}

// The browser reports WebGPU's validation errors itself (TarnixGpu counts them).
void EnableDebugLayer(DebugMessageCallback, void*, bool) {}
void DisableDebugLayer() {}

}  // namespace gfx
