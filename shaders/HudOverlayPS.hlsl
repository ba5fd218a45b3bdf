// The editor's overlay: its text canvas over the top left corner of the back buffer, white text
// on a darkened band. Pixels outside the canvas are left as they are.
Texture2D<float4> hud : register(t0);

float4 main(float4 position : SV_Position) : SV_Target {
  uint width, height;
  hud.GetDimensions(width, height);
  int2 pixel = int2(position.xy);
  if (pixel.x >= int(width) || pixel.y >= int(height)) discard;
  float coverage = hud.Load(int3(pixel, 0)).a;
  // Blended with source alpha: the text's coverage in white over the picture darkened to 40 %.
  float alpha = max(coverage, 0.6);
  return float4((coverage / alpha).xxx, alpha);
}
