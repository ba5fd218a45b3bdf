// The shaders' own sines (exact_sine.hlsli) on the device, for the suite that holds them to
// their C++ mirror. values[2 i] comes in as (x radians, rate, n as bits, r turns) and goes out as
// (exactSin x, exactCos x, turnsAt(rate, n), sinTurns r); values[2 i + 1] as (cosTurns r,
// turnsOfRadians x, 0, 0).
#include "exact_sine.hlsli"

RWStructuredBuffer<float4> values : register(u0);

[numthreads(64, 1, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID) {
  uint i = dispatchId.x;
  uint count, stride;
  values.GetDimensions(count, stride);
  if (2 * i + 1 >= count) return;
  float4 given = values[2 * i];
  values[2 * i] = float4(exactSin(given.x), exactCos(given.x), turnsAt(given.y, asuint(given.z)), sinTurns(given.w));
  values[2 * i + 1] = float4(cosTurns(given.w), turnsOfRadians(given.x), 0, 0);
}
