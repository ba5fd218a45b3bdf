// Samples t0 with the static point sampler s0 at each texel centre and writes twice the
// value to u0: exercises a texture SRV, an immutable sampler and a storage image.
Texture2D<float4> source : register(t0);
SamplerState pointSampler : register(s0);
RWTexture2D<float4> destination : register(u0);

[numthreads(8, 8, 1)]
void main(uint3 id : SV_DispatchThreadID) {
  uint width, height;
  destination.GetDimensions(width, height);
  if (id.x >= width || id.y >= height) return;
  float2 uv = (float2(id.xy) + 0.5) / float2(width, height);
  destination[id.xy] = source.SampleLevel(pointSampler, uv, 0) * 2.0;
}
