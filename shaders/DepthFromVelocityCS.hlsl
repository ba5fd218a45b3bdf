// Web build only: the scene pass there leaves each pixel's depth in the third channel of the
// velocity image (WebGPU binds at most four storage images to a pass); this moves it into the
// depth image that the later passes read.
#include "ParticleConfig.h"

Texture2D<float4> velocityBuffer : register(t0);
RWTexture2D<float> depthBuffer : register(u0);

[numthreads(TARNIX_IMAGE_GROUP_SIDE, TARNIX_IMAGE_GROUP_SIDE, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID) {
  uint2 size;
  velocityBuffer.GetDimensions(size.x, size.y);
  if (dispatchId.x >= size.x || dispatchId.y >= size.y) return;
  depthBuffer[dispatchId.xy] = velocityBuffer.Load(int3(dispatchId.xy, 0)).z;
}
