// Timestamp queries: a query heap is a VkQueryPool. Direct3D 12 needs no reset before a query
// is written again; Vulkan does, outside any rendering, so each EndQuery resets its own query
// just before writing it. ResolveQueryData waits for the results and copies them as 64-bit values.
#include <cmath>

#include "platform/vulkan/vk_command_list.h"

namespace gfx {
namespace vk {

namespace {

bool timestampsAvailable(DeviceImpl* device, const char* what) {
  if (device->timestampValidBits != 0) return true;
  reportError("%s: the device's queue has no timestamps (timestampValidBits is 0)", what);
  return false;
}

}  // namespace

QueryHeapImpl::~QueryHeapImpl() {
  if (pool) vkDestroyQueryPool(device->device, pool, nullptr);
  device->Release();
}

void QueryHeapImpl::applyName() { device->nameHandle(VK_OBJECT_TYPE_QUERY_POOL, uint64_t(pool), name_); }

HRESULT DeviceImpl::CreateQueryHeap(const QueryHeapDesc* desc, QueryHeap** heap) {
  if (!heap) return kInvalidArg;
  *heap = nullptr;
  if (!desc || desc->Type != QUERY_HEAP_TYPE_TIMESTAMP || desc->Count == 0) {
    reportError("CreateQueryHeap: only timestamp heaps of at least one query are provided");
    return kInvalidArg;
  }
  if (!timestampsAvailable(this, "CreateQueryHeap")) return kNotImplemented;
  VkQueryPoolCreateInfo info{VK_STRUCTURE_TYPE_QUERY_POOL_CREATE_INFO};
  info.queryType = VK_QUERY_TYPE_TIMESTAMP;
  info.queryCount = desc->Count;
  auto* created = new QueryHeapImpl();
  created->device = this;
  AddRef();
  created->desc = *desc;
  created->ended.assign(desc->Count, false);
  VkResult vr = vkCreateQueryPool(device, &info, nullptr, &created->pool);
  if (vr != VK_SUCCESS) {
    reportError("vkCreateQueryPool failed (%d)", vr);
    created->Release();
    return resultFromVk(vr);
  }
  *heap = created;
  return kOk;
}

HRESULT CommandQueueImpl::GetTimestampFrequency(UINT64* frequency) {
  if (!frequency) return kInvalidArg;
  *frequency = 0;
  if (!timestampsAvailable(device, "GetTimestampFrequency")) return kNotImplemented;
  // timestampPeriod is nanoseconds per tick (1 on lavapipe, fractional on some GPUs).
  *frequency = static_cast<UINT64>(std::llround(1e9 / double(device->limits.timestampPeriod)));
  return kOk;
}

void CommandListImpl::EndQuery(QueryHeap* heapInterface, QueryType type, UINT index) {
  if (!recording("EndQuery")) return;
  auto* heap = static_cast<QueryHeapImpl*>(heapInterface);
  if (!heap || type != QUERY_TYPE_TIMESTAMP || index >= heap->desc.Count) {
    reportError("EndQuery: needs a timestamp query heap, QUERY_TYPE_TIMESTAMP and an index below its count (%u)",
                heap ? heap->desc.Count : 0u);
    return;
  }
  endRendering();  // a query reset is not allowed inside rendering
  vkCmdResetQueryPool(cmd, heap->pool, index, 1);
  vkCmdWriteTimestamp2(cmd, VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, heap->pool, index);
  heap->ended[index] = true;
}

void CommandListImpl::ResolveQueryData(QueryHeap* heapInterface, QueryType type, UINT startIndex, UINT count,
                                       Resource* destinationInterface, UINT64 alignedDestinationOffset) {
  if (!recording("ResolveQueryData")) return;
  auto* heap = static_cast<QueryHeapImpl*>(heapInterface);
  auto* destination = static_cast<ResourceImpl*>(destinationInterface);
  if (!heap || type != QUERY_TYPE_TIMESTAMP || !destination || !destination->isBuffer()) {
    reportError("ResolveQueryData: needs a timestamp query heap, QUERY_TYPE_TIMESTAMP and a destination buffer");
    return;
  }
  if (uint64_t(startIndex) + count > heap->desc.Count) {
    reportError("ResolveQueryData: queries %u..%u are past the heap's %u", startIndex, startIndex + count - 1,
                heap->desc.Count);
    return;
  }
  if (alignedDestinationOffset % 8 != 0 || alignedDestinationOffset + uint64_t(count) * 8 > destination->desc.Width) {
    reportError("ResolveQueryData: %u timestamps at offset %llu do not fit '%s' (%llu bytes, offset a multiple of 8)",
                count, static_cast<unsigned long long>(alignedDestinationOffset), destination->label(),
                static_cast<unsigned long long>(destination->desc.Width));
    return;
  }
  if (!destination->allows(RESOURCE_STATE_COPY_DEST)) {
    reportError("ResolveQueryData: destination '%s' is not in the COPY_DEST state", destination->label());
    return;
  }
  for (UINT i = startIndex; i < startIndex + count; ++i)
    if (!heap->ended[i]) {
      reportError("ResolveQueryData: query %u of '%s' was never ended", i, heap->label());
      return;
    }
  if (count == 0) return;
  endRendering();
  vkCmdCopyQueryPoolResults(cmd, heap->pool, startIndex, count, destination->buffer, alignedDestinationOffset,
                            sizeof(uint64_t), VK_QUERY_RESULT_64_BIT | VK_QUERY_RESULT_WAIT_BIT);
}

}  // namespace vk
}  // namespace gfx
