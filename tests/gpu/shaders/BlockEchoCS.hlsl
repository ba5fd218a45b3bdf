// Writes the constant block's `scene` into the slot named by its `frame`, so every frame's
// view of the block can be checked after the run.
cbuffer Simulation : register(b0) {
  float3 cameraPos;
  uint scene;
  uint frame;
  float time;
  float dt;
};
RWStructuredBuffer<uint> results : register(u0);

[numthreads(1, 1, 1)]
void main() {
  results[frame] = scene;
}
