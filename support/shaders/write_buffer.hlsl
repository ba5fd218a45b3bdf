// Writes output[i] = i * scale + rootValues.x + rootValues.w through a descriptor table
// (u0, b0) and four root constants.
RWStructuredBuffer<uint> output : register(u0);

cbuffer Params : register(b0) {
  uint scale;
  uint count;
  uint2 unused;
};

[[vk::push_constant]] cbuffer RootConstants {
  uint4 rootValues;
};

[numthreads(64, 1, 1)]
void main(uint3 id : SV_DispatchThreadID) {
  if (id.x < count) output[id.x] = id.x * scale + rootValues.x + rootValues.w;
}
