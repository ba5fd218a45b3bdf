// Samples t0 at the pixel's own texel (point sampler s0) and tints it by b0; the alpha
// comes from the tint, so the blend policy shows in the result.
Texture2D<float4> source : register(t0);
SamplerState pointSampler : register(s0);
cbuffer Tint : register(b0) {
  float4 tint;
  float2 size;
};

float4 main(float4 position : SV_Position) : SV_Target {
  float4 texel = source.Sample(pointSampler, position.xy / size);
  return float4(texel.rgb * tint.rgb, tint.a);
}
