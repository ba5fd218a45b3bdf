// Passes the clip-space position through; uv.y is 1 at the top of the target (clip y = +1).
struct Output {
  float4 position : SV_Position;
  float2 uv : TEXCOORD0;
};

Output main(float3 position : POSITION) {
  Output output;
  output.position = float4(position, 1.0);
  output.uv = position.xy * 0.5 + 0.5;
  return output;
}
