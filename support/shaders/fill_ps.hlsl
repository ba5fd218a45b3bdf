// Top half of the target in topColor, bottom half in bottomColor (from b0).
cbuffer Fill : register(b0) {
  float4 topColor;
  float4 bottomColor;
};

float4 main(float4 position : SV_Position, float2 uv : TEXCOORD0) : SV_Target {
  return uv.y > 0.5 ? topColor : bottomColor;
}
