// Root signatures and pipeline states. A root signature keeps its D3D12 description; the
// pipeline state turns it, together with the shaders' declared bindings, into a descriptor
// set layout (set 0; b/t/s/u registers at kBinding*Base + register) and a pipeline layout
// (root constants as one push-constant range, static samplers as immutable samplers).
#include <algorithm>
#include <cstring>

#include "platform/vulkan/vk_internal.h"

namespace gfx {
namespace vk {
namespace {

thread_local std::string gRootSignatureError;

uint32_t bindingBase(DescriptorRangeType type) {
  switch (type) {
    case DESCRIPTOR_RANGE_TYPE_SRV: return kBindingSrvBase;
    case DESCRIPTOR_RANGE_TYPE_UAV: return kBindingUavBase;
    case DESCRIPTOR_RANGE_TYPE_CBV: return kBindingCbvBase;
    default: return kBindingSamplerBase;
  }
}

bool typeFitsRange(VkDescriptorType type, DescriptorRangeType range) {
  switch (range) {
    case DESCRIPTOR_RANGE_TYPE_CBV: return type == VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER;
    case DESCRIPTOR_RANGE_TYPE_SRV:
      return type == VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE || type == VK_DESCRIPTOR_TYPE_STORAGE_BUFFER;
    case DESCRIPTOR_RANGE_TYPE_UAV:
      return type == VK_DESCRIPTOR_TYPE_STORAGE_IMAGE || type == VK_DESCRIPTOR_TYPE_STORAGE_BUFFER;
    default: return type == VK_DESCRIPTOR_TYPE_SAMPLER;
  }
}

struct Candidate {
  uint32_t binding;
  DescriptorRangeType range;
  uint32_t parameter;
  uint32_t offset;
  int32_t staticSampler;  // index, or -1
};

// Every binding a root signature can feed, or an error text.
std::string rootBindings(const RootSignatureImpl* root, std::vector<Candidate>* out) {
  for (uint32_t p = 0; p < root->parameters.size(); ++p) {
    if (root->parameters[p].ParameterType != ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE) continue;
    uint32_t running = 0;
    for (const DescriptorRange& range : root->ranges[p]) {
      uint32_t start = range.OffsetInDescriptorsFromTableStart == DESCRIPTOR_RANGE_OFFSET_APPEND
                           ? running
                           : range.OffsetInDescriptorsFromTableStart;
      for (uint32_t i = 0; i < range.NumDescriptors; ++i)
        out->push_back({bindingBase(range.RangeType) + range.BaseShaderRegister + i, range.RangeType, p, start + i, -1});
      running = start + range.NumDescriptors;
    }
  }
  for (uint32_t s = 0; s < root->staticSamplers.size(); ++s)
    out->push_back({kBindingSamplerBase + root->staticSamplers[s].ShaderRegister, DESCRIPTOR_RANGE_TYPE_SAMPLER, 0, 0,
                    static_cast<int32_t>(s)});
  for (size_t a = 0; a < out->size(); ++a)
    for (size_t b = a + 1; b < out->size(); ++b)
      if ((*out)[a].binding == (*out)[b].binding)
        return "two registers share binding " + std::to_string((*out)[a].binding) +
               " (register classes overlap at the binding bases, or a register is declared twice)";
  return {};
}

}  // namespace

VkShaderModule createShaderModule(DeviceImpl* device, const ShaderBytecode& code) {
  VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
  info.codeSize = code.BytecodeLength;
  info.pCode = static_cast<const uint32_t*>(code.pShaderBytecode);
  VkShaderModule module = VK_NULL_HANDLE;
  if (vkCreateShaderModule(device->device, &info, nullptr, &module) != VK_SUCCESS) return VK_NULL_HANDLE;
  return module;
}

HRESULT buildPipelineLayout(DeviceImpl* device, PipelineStateImpl* state, const PipelineStage* stages,
                            size_t stageCount) {
  RootSignatureImpl* root = state->rootSignature;
  std::vector<Candidate> candidates;
  std::string error = rootBindings(root, &candidates);
  VkShaderStageFlags allStages = 0;
  std::vector<VkDescriptorSetLayoutBinding> layoutBindings;
  bool push = false;
  for (size_t s = 0; s < stageCount && error.empty(); ++s) {
    allStages |= stages[s].stage;
    ShaderReflection reflection = reflectSpirv(stages[s].code->pShaderBytecode, stages[s].code->BytecodeLength);
    if (!reflection.error.empty()) error = reflection.error;
    push = push || reflection.usesPushConstants;
    for (const ShaderBinding& binding : reflection.bindings) {
      if (!error.empty()) break;
      if (binding.set != 0) {
        error = "register spaces other than 0 are not provided (binding " + std::to_string(binding.binding) + ")";
        break;
      }
      auto found = std::find_if(layoutBindings.begin(), layoutBindings.end(),
                                [&](const VkDescriptorSetLayoutBinding& b) { return b.binding == binding.binding; });
      if (found != layoutBindings.end()) {
        if (found->descriptorType != binding.type) error = "stages disagree on binding " + std::to_string(binding.binding);
        found->stageFlags |= stages[s].stage;
        continue;
      }
      auto source = std::find_if(candidates.begin(), candidates.end(),
                                 [&](const Candidate& c) { return c.binding == binding.binding; });
      if (source == candidates.end()) {
        error = "the shader's binding " + std::to_string(binding.binding) + " is not in the root signature";
        break;
      }
      if (!typeFitsRange(binding.type, source->range) || binding.count != 1) {
        error = "the shader's binding " + std::to_string(binding.binding) + " does not match the root signature's range";
        break;
      }
      VkDescriptorSetLayoutBinding layoutBinding{};
      layoutBinding.binding = binding.binding;
      layoutBinding.descriptorType = binding.type;
      layoutBinding.descriptorCount = 1;
      layoutBinding.stageFlags = stages[s].stage;
      if (source->staticSampler >= 0) {
        layoutBinding.pImmutableSamplers = &root->immutableSamplers[static_cast<size_t>(source->staticSampler)];
      }
      layoutBindings.push_back(layoutBinding);
      BindingSource bindingSource;
      bindingSource.binding = binding.binding;
      bindingSource.type = binding.type;
      bindingSource.parameter = source->parameter;
      bindingSource.offset = source->offset;
      bindingSource.immutableSampler = source->staticSampler >= 0;
      state->bindings.push_back(bindingSource);
    }
  }
  if (error.empty() && push && root->pushConstantBytes == 0)
    error = "the shader reads push constants but the root signature has no root constants";
  if (!error.empty()) {
    reportError("pipeline state: %s", error.c_str());
    return kInvalidArg;
  }
  // Bindings the shaders use in several stages are visible to all of them.
  for (auto& binding : layoutBindings) binding.stageFlags |= (stageCount > 1 ? allStages : 0);

  VkDescriptorSetLayoutCreateInfo setInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
  setInfo.bindingCount = static_cast<uint32_t>(layoutBindings.size());
  setInfo.pBindings = layoutBindings.data();
  VkResult vr = vkCreateDescriptorSetLayout(device->device, &setInfo, nullptr, &state->setLayout);
  if (vr != VK_SUCCESS) return resultFromVk(vr);
  VkPushConstantRange range{allStages, 0, root->pushConstantBytes};
  VkPipelineLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
  layoutInfo.setLayoutCount = 1;
  layoutInfo.pSetLayouts = &state->setLayout;
  if (root->pushConstantBytes > 0) {
    layoutInfo.pushConstantRangeCount = 1;
    layoutInfo.pPushConstantRanges = &range;
    state->pushStages = allStages;
  }
  return resultFromVk(vkCreatePipelineLayout(device->device, &layoutInfo, nullptr, &state->layout));
}

PipelineStateImpl* newPipelineState(DeviceImpl* device, RootSignature* root, VkPipelineBindPoint bindPoint) {
  auto* state = new PipelineStateImpl();
  state->device = device;
  device->AddRef();
  state->rootSignature = static_cast<RootSignatureImpl*>(root);
  state->rootSignature->AddRef();
  state->bindPoint = bindPoint;
  return state;
}

HRESULT DeviceImpl::CreateRootSignature(UINT, const RootSignatureDesc* desc, RootSignature** rootSignature,
                                        const char** errorText) {
  if (errorText) *errorText = nullptr;
  if (!desc || !rootSignature) return kInvalidArg;
  *rootSignature = nullptr;
  auto fail = [&](std::string text) {
    gRootSignatureError = std::move(text);
    if (errorText) *errorText = gRootSignatureError.c_str();
    return kInvalidArg;
  };
  if (desc->NumParameters > 0 && !desc->pParameters) return fail("pParameters is null");
  if (desc->NumStaticSamplers > 0 && !desc->pStaticSamplers) return fail("pStaticSamplers is null");
  auto* root = new RootSignatureImpl();
  root->device = this;
  AddRef();
  root->flags = desc->Flags;
  std::string error;
  for (UINT p = 0; p < desc->NumParameters && error.empty(); ++p) {
    const RootParameter& parameter = desc->pParameters[p];
    root->parameters.push_back(parameter);
    root->ranges.emplace_back();
    root->constantOffsets.push_back(root->pushConstantBytes);
    if (parameter.ParameterType == ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE) {
      const RootDescriptorTable& table = parameter.DescriptorTable;
      if (table.NumDescriptorRanges > 0 && !table.pDescriptorRanges) error = "a table's pDescriptorRanges is null";
      for (UINT r = 0; r < table.NumDescriptorRanges && error.empty(); ++r) {
        const DescriptorRange& range = table.pDescriptorRanges[r];
        if (range.RangeType > DESCRIPTOR_RANGE_TYPE_SAMPLER) error = "unknown descriptor range type";
        else if (range.RegisterSpace != 0) error = "register spaces other than 0 are not provided";
        else if (range.NumDescriptors == 0 || range.NumDescriptors > 64) error = "a range holds 1..64 descriptors";
        root->ranges.back().push_back(range);
      }
      root->parameters.back().DescriptorTable.pDescriptorRanges = nullptr;  // copied into ranges
    } else if (parameter.ParameterType == ROOT_PARAMETER_TYPE_32BIT_CONSTANTS) {
      root->pushConstantBytes += parameter.Constants.Num32BitValues * 4;
      if (parameter.Constants.RegisterSpace != 0) error = "register spaces other than 0 are not provided";
      if (root->pushConstantBytes > limits.maxPushConstantsSize) error = "root constants exceed the push-constant size";
    } else {
      error = "root descriptors (CBV/SRV/UAV parameters) are not provided; use descriptor tables";
    }
  }
  for (UINT s = 0; s < desc->NumStaticSamplers && error.empty(); ++s) {
    const StaticSamplerDesc& sampler = desc->pStaticSamplers[s];
    if (sampler.RegisterSpace != 0) error = "register spaces other than 0 are not provided";
    root->staticSamplers.push_back(sampler);
    SamplerDesc full;
    full.Filter = sampler.Filter;
    full.AddressU = sampler.AddressU;
    full.AddressV = sampler.AddressV;
    full.AddressW = sampler.AddressW;
    full.MipLODBias = sampler.MipLODBias;
    full.MaxAnisotropy = sampler.MaxAnisotropy;
    full.ComparisonFunc = sampler.ComparisonFunc;
    float white = sampler.BorderColor == STATIC_BORDER_COLOR_OPAQUE_WHITE ? 1.0f : 0.0f;
    float alpha = sampler.BorderColor == STATIC_BORDER_COLOR_TRANSPARENT_BLACK ? 0.0f : 1.0f;
    full.BorderColor[0] = full.BorderColor[1] = full.BorderColor[2] = white;
    full.BorderColor[3] = alpha;
    full.MinLOD = sampler.MinLOD;
    full.MaxLOD = sampler.MaxLOD;
    root->immutableSamplers.push_back(createSampler(this, full));
  }
  if (error.empty()) {
    std::vector<Candidate> candidates;
    error = rootBindings(root, &candidates);
  }
  if (!error.empty()) {
    root->Release();
    return fail(error);
  }
  *rootSignature = root;
  return kOk;
}

RootSignatureImpl::~RootSignatureImpl() {
  for (VkSampler sampler : immutableSamplers)
    if (sampler) vkDestroySampler(device->device, sampler, nullptr);
  device->Release();
}

PipelineStateImpl::~PipelineStateImpl() {
  if (pipeline) vkDestroyPipeline(device->device, pipeline, nullptr);
  if (layout) vkDestroyPipelineLayout(device->device, layout, nullptr);
  if (setLayout) vkDestroyDescriptorSetLayout(device->device, setLayout, nullptr);
  rootSignature->Release();
  device->Release();
}

void PipelineStateImpl::applyName() {
  device->nameHandle(VK_OBJECT_TYPE_PIPELINE, reinterpret_cast<uint64_t>(pipeline), name_);
  device->nameHandle(VK_OBJECT_TYPE_PIPELINE_LAYOUT, reinterpret_cast<uint64_t>(layout), name_);
}

HRESULT DeviceImpl::CreateComputePipelineState(const ComputePipelineStateDesc* desc, PipelineState** stateOut) {
  if (!desc || !stateOut || !desc->pRootSignature || !desc->CS.pShaderBytecode) return kInvalidArg;
  *stateOut = nullptr;
  PipelineStateImpl* state = newPipelineState(this, desc->pRootSignature, VK_PIPELINE_BIND_POINT_COMPUTE);
  PipelineStage stage{&desc->CS, VK_SHADER_STAGE_COMPUTE_BIT};
  HRESULT hr = buildPipelineLayout(this, state, &stage, 1);
  VkShaderModule module = Succeeded(hr) ? createShaderModule(this, desc->CS) : VK_NULL_HANDLE;
  if (Succeeded(hr) && !module) hr = kInvalidArg;
  if (Succeeded(hr)) {
    VkComputePipelineCreateInfo info{VK_STRUCTURE_TYPE_COMPUTE_PIPELINE_CREATE_INFO};
    info.stage = {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO};
    info.stage.stage = VK_SHADER_STAGE_COMPUTE_BIT;
    info.stage.module = module;
    info.stage.pName = "main";
    info.layout = state->layout;
    hr = resultFromVk(vkCreateComputePipelines(device, VK_NULL_HANDLE, 1, &info, nullptr, &state->pipeline));
  }
  if (module) vkDestroyShaderModule(device, module, nullptr);
  if (Failed(hr)) {
    state->Release();
    return hr;
  }
  *stateOut = state;
  return kOk;
}

}  // namespace vk
}  // namespace gfx
