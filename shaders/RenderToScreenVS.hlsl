// Passes the corners of the one large full-screen triangle through; the pixel shaders work from
// SV_Position alone, so the clip-space y convention of the API does not matter here.
struct VertexInput {
  float3 position : POSITION;
};

float4 main(VertexInput input) : SV_Position {
  return float4(input.position, 1.0);
}
