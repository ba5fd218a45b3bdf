// The compute shaders on the graphics device against the C++ references: the particle scenes'
// set-ups, limits, collisions and repeatability, the path tracer's G-buffer and sample handling, the temporal and a-trous
// filters' defining cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "support/reference/particles.h"
#include "support/reference/sphere_hit.h"
#include "tests/shaders/gpu_shader_harness.h"

namespace {

using reference::Vec3;

struct ParticleSimulationGpu : ShaderGpuTest {
  Pipeline* pipeline = nullptr;  // made once: compiling the shader is most of a short run

  std::vector<ParticleData> run(std::vector<ParticleData> records, const SimulationData& sim, uint32_t numParticles,
                                uint32_t viewRecords = 128) {
    GpuBuffer* buffer = storage(records.data(), records.size() * sizeof(ParticleData));
    GpuBuffer* simBuffer = constants(sim);
    ParticleSceneData scene{{0, 0, 0}, numParticles};
    GpuBuffer* sceneBuffer = constants(scene);
    std::vector<PassResource> resources = {boundBuffer(*buffer, viewRecords), boundConstants(*simBuffer),
                                           boundConstants(*sceneBuffer)};
    if (!pipeline) pipeline = createComputePass(kParticleSimulationPass);
    EXPECT_NE(pipeline, nullptr);
    if (pipeline) {
      gfx::GraphicsCommandList* list = beginFrame();
      resetDescriptorAllocator(*heap);
      recordCompute(list, kParticleSimulationPass, *pipeline, *heap, barriers, resources, 1, 1);
      endFrame();
      waitForGpuIdle();
    }
    std::vector<uint8_t> bytes = readBytes(*buffer);
    std::vector<ParticleData> out(records.size());
    memcpy(out.data(), bytes.data(), records.size() * sizeof(ParticleData));
    releaseBuffer(buffer);
    releaseBuffer(simBuffer);
    releaseBuffer(sceneBuffer);
    return out;
  }
  void TearDown() override {
    if (pipeline) releasePipeline(pipeline);
    ShaderGpuTest::TearDown();
  }
};

std::vector<ParticleData> startingBuffer(size_t n) {
  std::vector<ParticleData> records(n);
  for (ParticleData& p : records) {
    p.visible = 1;
    p.radius = 3;
    p.material.transparency = 0.25f;
  }
  return records;
}

SimulationData simAt(uint scene, uint frame) {
  SimulationData sim{};
  sim.cameraPos = {1, 2, 3};
  sim.scene = scene;
  sim.frame = frame;
  sim.time = 5000.0f;
  sim.dt = 16.0f;
  return sim;
}

// Every field as 26 words; the random-derived ones (elasticity from a hashed sine) get slack.
void expectSameParticle(const ParticleData& gpu, const ParticleData& ref, uint32_t i, float slack) {
  const float* g = reinterpret_cast<const float*>(&gpu);
  const float* r = reinterpret_cast<const float*>(&ref);
  for (int k = 0; k < 26; ++k) {
    if (k >= 15 && k <= 17) {  // id, dynamic, visible
      EXPECT_EQ(reinterpret_cast<const uint32_t*>(g)[k], reinterpret_cast<const uint32_t*>(r)[k])
          << "particle " << i << " word " << k;
    } else {
      EXPECT_NEAR(g[k], r[k], slack + 1e-4f * std::fabs(r[k])) << "particle " << i << " word " << k;
    }
  }
}

TEST_F(ParticleSimulationGpu, SceneSetUpsMatchTheReference) {
  std::vector<ParticleData> ref = startingBuffer(128);
  std::vector<ParticleData> gpu = run(ref, simAt(0, 0), 64);
  reference::simulateParticles(ref.data(), 128, simAt(0, 0), {{0, 0, 0}, 64});
  for (uint32_t i = 0; i < 128; ++i) expectSameParticle(gpu[i], ref[i], i, 0.01f);
  gpu = run(gpu, simAt(0, 800), 64);  // scripted orbits, particle 1 half grown
  reference::simulateParticles(ref.data(), 128, simAt(0, 800), {{0, 0, 0}, 64});
  for (uint32_t i = 0; i < 128; ++i) expectSameParticle(gpu[i], ref[i], i, 0.01f);

  gpu = run(gpu, simAt(1, 3254), 128);
  gpu = run(gpu, simAt(1, 3255), 128);
  reference::simulateParticles(ref.data(), 128, simAt(1, 3254), {{0, 0, 0}, 128});
  reference::simulateParticles(ref.data(), 128, simAt(1, 3255), {{0, 0, 0}, 128});
  for (uint32_t i = 0; i < 128; ++i) {
    if (i >= 9 && i <= 100) {
      // Placed by the hash, whose sine is the shaders' own: the reference's bits on every driver.
      // The albedo's cosine and the velocity's normalisation are the driver's.
      EXPECT_EQ(memcmp(&gpu[i].position, &ref[i].position, sizeof(float3)), 0) << i;
      EXPECT_EQ(gpu[i].radius, ref[i].radius) << i;
      EXPECT_EQ(gpu[i].material.metallic, ref[i].material.metallic) << i;
      expectSameParticle(gpu[i], ref[i], i, 2e-4f);
    } else {
      // The previous positions of 1 to 3 are the first scene's orbits, whose sines are the
      // driver's (SwiftShader's are up to 2e-4 off; 4e-3 at the orbits' radius of 20).
      expectSameParticle(gpu[i], ref[i], i, deviceIsLavapipe() ? 1e-5f : 1e-2f);
    }
  }
}

TEST_F(ParticleSimulationGpu, CountAboveTheBufferTouchesNothingPastIt) {
  // 160 records of memory, a view of 128 of them, and "SM::NumPart" 160.
  std::vector<ParticleData> records = startingBuffer(160);
  memset(static_cast<void*>(&records[128]), 0xAB, 32 * sizeof(ParticleData));
  std::vector<ParticleData> gpu = run(records, simAt(0, 0), 160);
  EXPECT_EQ(gpu[127].id, 128u);
  EXPECT_EQ(memcmp(&gpu[128], &records[128], 32 * sizeof(ParticleData)), 0) << "records past the view changed";

  // Collisions: one dynamic particle at the origin among static ones far away. Records past the
  // view (whatever a read there returns) must not be collided with.
  for (uint32_t i = 0; i < 128; ++i) {
    gpu[i] = ParticleData{};
    gpu[i].position = {1000.0f + 10.0f * float(i), 0, 0};
  }
  gpu[5].position = {0, 0, 0};
  gpu[5].radius = 1;
  gpu[5].dynamic = 1;
  SimulationData sim = simAt(0, 3000);
  sim.dt = 0;
  gpu = run(gpu, sim, 160);
  EXPECT_EQ(gpu[5].position.x, 0.0f);
  EXPECT_EQ(gpu[5].position.y, 0.0f);
  EXPECT_EQ(memcmp(&gpu[128], &records[128], 32 * sizeof(ParticleData)), 0) << "records past the view changed";
}

TEST_F(ParticleSimulationGpu, BrokenAndCoincidentParticles) {
  std::vector<ParticleData> records(32);
  records[0].position = {0, 0, -100};  // static
  records[0].radius = 8;
  records[1] = records[0];            // dynamic, exactly at the static one's centre
  records[1].radius = 1;
  records[1].dynamic = 1;
  records[2].position = {NAN, 0, 0};
  records[2].radius = 5;
  records[2].visible = 1;
  records[3].position = records[4].position = {50, 50, 50};  // a dynamic pair on one spot
  records[3].radius = records[4].radius = 1;
  records[3].dynamic = records[4].dynamic = 1;
  SimulationData sim = simAt(1, 3280);
  sim.dt = 0.0f;
  std::vector<ParticleData> gpu = run(records, sim, 32, 32);
  EXPECT_NEAR(gpu[1].position.y, 0.8f * (9.0f - 0.001f), 1e-4f);  // pushed out along +y
  EXPECT_EQ(gpu[1].position.x, 0.0f);
  std::vector<uint8_t> zero(sizeof(ParticleData), 0);
  EXPECT_EQ(memcmp(&gpu[2], zero.data(), sizeof(ParticleData)), 0) << "a NaN position clears the record";
  // The pair separates instead of writing NaN into each other: the lower index down, the higher up.
  EXPECT_EQ(gpu[3].position.y, 49.0f);
  EXPECT_EQ(gpu[4].position.y, 51.0f);
}

// Away from the other records (zero radius at the origin), with dt 0 so that only the collision
// step moves anything.
ParticleData body(Vec3 position, float radius, Vec3 velocity, float elasticity, float friction, uint dynamic) {
  ParticleData p{};
  p.position = {position.x, position.y, position.z};
  p.radius = radius;
  p.velocity = {velocity.x, velocity.y, velocity.z};
  p.elasticity = elasticity;
  p.friction = friction;
  p.dynamic = dynamic;
  p.visible = 1;
  return p;
}

TEST_F(ParticleSimulationGpu, CollisionsMatchTheReference) {
  std::vector<ParticleData> records(32);
  // A head-on dynamic pair of unequal radii, elasticities and frictions...
  records[9] = body({99.2f, 0, 0}, 1.0f, {2, 0, 0}, 0.3f, 0.5f, 1);
  records[10] = body({101.0f, 0, 0}, 1.2f, {-1, 0, 0}, 0.6f, 0.25f, 1);
  // ... a third dynamic sphere touching particle 10 at an angle, and a static one above the third.
  records[11] = body({101.5f, 1.9f, 0}, 0.8f, {0, -0.5f, 0.25f}, 0.1f, 0.5f, 1);
  records[12] = body({101.5f, 4.0f, 0}, 1.5f, {}, 0.0f, 0.4f, 0);
  SimulationData sim = simAt(1, 3280);
  sim.dt = 0.0f;
  std::vector<ParticleData> gpu = run(records, sim, 32, 32);

  std::vector<ParticleData> ref = records;
  for (uint32_t i = 0; i < 32; ++i) {
    ref[i].id = i + 1;
    ref[i].prevPosition = ref[i].position;
  }
  ref[8].radius = gpu[8].radius;  // scene 1 swells this one with the beat
  reference::collideParticles(ref.data(), 32);
  for (uint32_t i = 0; i < 32; ++i) expectSameParticle(gpu[i], ref[i], i, 1e-6f);

  // Each particle of the pair took its own half once: the impulse scaled by the partner's friction
  // and the push-out by the partner's radius (together the overlap of 0.4).
  float vn = 2.0f - (-1.0f), impulse = -vn * (0.3f + 1.0f);
  EXPECT_NEAR(gpu[9].velocity.x, 2.0f + impulse * 0.25f, 1e-5f);
  EXPECT_NEAR(gpu[9].position.x, 99.2f - 0.4f / 2.2f * 1.2f, 1e-5f);
  EXPECT_NE(gpu[11].velocity.y, -0.5f) << "the third sphere bounced";
}

// The scene 1 simulation over the frames where its cloud collides, twice from the same buffer.
TEST_F(ParticleSimulationGpu, SameInputGivesTheSameParticles) {
  std::vector<std::vector<ParticleData>> runs;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::vector<ParticleData> particles(128);
    for (uint32_t frame = 3254; frame < 3554; ++frame) {
      SimulationData sim = simAt(1, frame);
      sim.time = float(frame) * 1000.0f / 60.0f - 17.4f;
      sim.dt = 1000.0f / 60.0f * 0.02f;
      particles = run(particles, sim, 128);
    }
    runs.push_back(particles);
  }
  EXPECT_EQ(memcmp(runs[0].data(), runs[1].data(), 128 * sizeof(ParticleData)), 0);
  uint32_t moved = 0;
  for (const ParticleData& p : runs[0]) moved += p.dynamic != 0 && p.prevPosition.x != p.position.x;
  EXPECT_GT(moved, 50u) << "the cloud is simulated";
}

// The scene pass on a 32 x 32 image with a camera at the origin looking down -z: the
// unprojection maps ndc to (0.5 ndc.x, 0.5 ndc.y, -1); depth is 0.01 x distance along -z.
struct SceneRenderGpu : ShaderGpuTest {
  static constexpr uint32_t kSize = 32;
  GpuTexture *colour = nullptr, *velocity = nullptr, *position = nullptr, *normal = nullptr, *depth = nullptr;

  static ConstantBufferData camera(uint32_t sampleCount) {
    ConstantBufferData c{};
    c.invViewProjMtx = {{{0.5f, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, 0, -1}, {0, 0, 0, 1}}};
    c.viewProjMtx = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -0.01f, 0}, {0, 0, 0, 1}}};
    c.prevViewProjMtx = c.viewProjMtx;
    c.resolution = {float(kSize), float(kSize), 1};
    c.time = 1000.0f;
    c.sampleCount = sampleCount;
    return c;
  }
  static Vec3 rayThrough(float u, float v) {
    return reference::normalize({0.5f * (2 * u - 1), 0.5f * (2 * v - 1), -1});
  }

  // The hierarchy is built from the same particles first; bruteForce renders without it.
  void render(const std::vector<ParticleData>& particles, uint32_t numParticles, uint32_t scene, uint32_t frame,
              uint32_t sampleCount, bool bruteForce = false) {
    std::vector<ParticleData> records = particles;
    records.resize(128);
    GpuBuffer* buffer = storage(records.data(), records.size() * sizeof(ParticleData));
    ConstantBufferData c = camera(sampleCount);
    GpuBuffer* cameraBuffer = constants(c);
    ParticleSceneData sceneData{{0.2f, 0.3f, 0.4f}, numParticles};
    GpuBuffer* sceneBuffer = constants(sceneData);
    SimulationData sim = simAt(scene, frame);
    GpuBuffer* simBuffer = constants(sim);
    colour = texture(kSize, kSize, kRgba32Float, {}, true);
    velocity = texture(kSize, kSize, kRgba32Float, {}, true);
    position = texture(kSize, kSize, kRgba32Float, {}, true);
    normal = texture(kSize, kSize, kRgba32Float, {}, true);
    depth = texture(kSize, kSize, kR32Float, {}, true);
    GpuBuffer* bvh = storage(nullptr, kSphereBvhRecords * kSphereBvhRecordBytes);
    dispatch(kSphereBvhBuildPass,
             {boundBuffer(*buffer, kParticleCapacity), boundBuffer(*bvh, kSphereBvhRecords), boundConstants(*sceneBuffer)},
             1, 1);
    dispatch(bruteForce ? kSceneBruteForcePass : kScenePass,
             {boundBuffer(*buffer, kParticleCapacity), boundTexture(*colour, kRgba32Float), boundTexture(*velocity),
              boundTexture(*position), boundTexture(*normal), boundTexture(*depth), boundConstants(*cameraBuffer),
              boundConstants(*sceneBuffer), boundConstants(*simBuffer), boundConstants(*bvh)},
             groupsCovering(kSize), groupsCovering(kSize));
    releaseBuffer(bvh);
    releaseBuffer(buffer);
    releaseBuffer(cameraBuffer);
    releaseBuffer(sceneBuffer);
    releaseBuffer(simBuffer);
  }
  void releaseTextures() {
    for (GpuTexture** t : {&colour, &velocity, &position, &normal, &depth}) releaseTexture(*t);
  }
  void TearDown() override {
    releaseTextures();
    ShaderGpuTest::TearDown();
  }

  // Every texel of the five outputs, walking the hierarchy or testing every particle.
  std::vector<float> outputs(const std::vector<ParticleData>& particles, uint32_t scene, bool bruteForce) {
    render(particles, uint32_t(particles.size()), scene, scene == 0 ? 2000 : 4000, 4, bruteForce);
    std::vector<float> all;
    for (GpuTexture* t : {colour, velocity, position, normal}) {
      std::vector<float> texels = readFloats(*t, 4);
      all.insert(all.end(), texels.begin(), texels.end());
    }
    std::vector<float> d = readFloats(*depth, 1);
    all.insert(all.end(), d.begin(), d.end());
    releaseTextures();
    return all;
  }
  // The two ways give the same bits in every output texel. Scene 1 takes the materials from the
  // records (glass among them), scene 0 makes every sphere glass.
  void expectSameAsBruteForce(const std::vector<ParticleData>& particles, const char* what,
                              std::initializer_list<uint32_t> scenes = {1u}) {
    for (uint32_t scene : scenes) {
      std::vector<float> fast = outputs(particles, scene, false), reference = outputs(particles, scene, true);
      ASSERT_EQ(fast.size(), reference.size());
      size_t differing = 0, first = fast.size();
      for (size_t i = 0; i < fast.size(); ++i) {
        if (memcmp(&fast[i], &reference[i], sizeof(float)) != 0) {
          ++differing;
          first = std::min(first, i);
        }
      }
      EXPECT_EQ(differing, 0u) << what << ", scene " << scene << ", first at value " << first;
    }
  }
};

TEST_F(SceneRenderGpu, EmptySceneGivesTheNoHitGBufferAndSkyOnly) {
  // sampleCount 4 traces five samples and divides by four; 0 is taken as 1 (two samples,
  // divided by one) instead of dividing by zero.
  const float offsets[5][2] = {{0, 0}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
  for (uint32_t sampleCount : {4u, 0u}) {
    render({}, 0, 0, 100, sampleCount);
    std::vector<float> c = readFloats(*colour, 4), p = readFloats(*position, 4), n = readFloats(*normal, 4),
                       v = readFloats(*velocity, 4), d = readFloats(*depth, 1);
    uint32_t used = sampleCount == 0 ? 1 : sampleCount;
    int wrong = 0;
    for (uint32_t y = 0; y < kSize; ++y) {
      for (uint32_t x = 0; x < kSize; ++x) {
        size_t i = y * kSize + x;
        Vec3 dir = rayThrough(float(x) / kSize, float(y) / kSize);
        float sky = 0;
        for (uint32_t s = 0; s <= used; ++s) {
          Vec3 sd = rayThrough((x + offsets[s][0]) / kSize, (y + offsets[s][1]) / kSize);
          sky += (1 - sd.y) * (1 - sd.y);
        }
        float expectedRed = 0.2f * sky / float(used);
        // A miss has no surface to follow: zero motion rather than the projection of a point
        // at the float limit.
        if (p[4 * i + 3] != 0.0f || d[i] != 1.0f || v[4 * i] != 0.0f || v[4 * i + 1] != 0.0f || std::fabs(n[4 * i] + dir.x) > 1e-5f ||
            std::fabs(n[4 * i + 2] + dir.z) > 1e-5f || std::fabs(c[4 * i] - expectedRed) > 1e-4f)
          ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << "sampleCount " << sampleCount << ", first pixel red " << c[0];
    for (GpuTexture** t : {&colour, &velocity, &position, &normal, &depth}) releaseTexture(*t);
  }
}

TEST_F(SceneRenderGpu, SphereFillsTheGBufferAndSceneTwoIsBlack) {
  ParticleData sphere{};
  sphere.position = {0, 0, -10};
  sphere.prevPosition = sphere.position;
  sphere.radius = 3;
  sphere.id = 1;
  sphere.visible = 1;
  sphere.material.albedo = {1, 1, 1};
  sphere.material.emissive = 1;
  render({sphere}, 1, 2, 100, 4);
  std::vector<float> c = readFloats(*colour, 4), p = readFloats(*position, 4), n = readFloats(*normal, 4),
                     v = readFloats(*velocity, 4), d = readFloats(*depth, 1);
  int hits = 0, wrong = 0;
  for (uint32_t y = 0; y < kSize; ++y) {
    for (uint32_t x = 0; x < kSize; ++x) {
      size_t i = y * kSize + x;
      reference::SphereHit hit = reference::nearestSphere({0, 0, 0}, rayThrough(float(x) / kSize, float(y) / kSize),
                                                          &sphere, 1);
      if (!hit.found) {
        wrong += p[4 * i + 3] != 0.0f || d[i] != 1.0f;
        continue;
      }
      ++hits;
      wrong += p[4 * i + 3] != 1.0f || std::fabs(p[4 * i + 2] - hit.point.z) > 1e-4f ||
               std::fabs(n[4 * i] - hit.normal.x) > 1e-4f || std::fabs(n[4 * i + 2] - hit.normal.z) > 1e-4f ||
               std::fabs(d[i] + 0.01f * hit.point.z) > 1e-5f || v[4 * i] != 0.0f || v[4 * i + 1] != 0.0f;
    }
  }
  EXPECT_GT(hits, 100);
  EXPECT_EQ(wrong, 0);
  size_t centre = 16 * kSize + 16;  // all five sample rays hit: black opaque spheres in scene 2
  for (int k = 0; k < 3; ++k) EXPECT_EQ(c[4 * centre + k], 0.0f);
}

TEST_F(SceneRenderGpu, DenseGlassNeverGivesNaN) {
  // Scene 1 takes a particle's own index of refraction: above 1 some rays cannot refract.
  std::vector<ParticleData> particles(2);
  particles[1].position = {0, 0, -10};
  particles[1].radius = 4;
  particles[1].id = 2;
  particles[1].visible = 1;
  particles[1].material = {{0.9f, 0.9f, 0.9f}, 0, 0, 0, 1, 1.6f};
  particles[0].position = {0, 30, -10};  // a light above
  particles[0].radius = 10;
  particles[0].id = 1;
  particles[0].visible = 1;
  particles[0].material = {{1, 1, 1}, 5, 0, 0, 0, 1};
  render(particles, 2, 1, 4000, 4);
  std::vector<float> c = readFloats(*colour, 4);
  int bad = 0;
  for (float value : c) bad += !std::isfinite(value);
  EXPECT_EQ(bad, 0);
}

ParticleData sphereAt(Vec3 centre, float radius, uint32_t index, float transparency = 0.0f) {
  ParticleData p{};
  p.position = {centre.x, centre.y, centre.z};
  p.prevPosition = p.position;
  p.radius = radius;
  p.id = index + 1;
  p.visible = 1;
  p.material = {{0.8f, 0.6f, 0.4f}, index % 3 == 0 ? 2.0f : 0.0f, 0.5f, 0.3f, transparency, 0.9f};
  return p;
}

TEST_F(SceneRenderGpu, HierarchyFindsWhatTestingEverySphereFinds) {
  expectSameAsBruteForce({sphereAt({0, 0, -10}, 3, 0)}, "one sphere");
  // Beside a wall, the glass sphere is the whole tree: its root is a leaf.
  expectSameAsBruteForce({sphereAt({0, 0, -10020}, 10000, 0), sphereAt({0.5f, 0, -8}, 1, 1, 1)},
                         "a tree of one sphere", {1u, 0u});
  expectSameAsBruteForce({sphereAt({-1, 0, -10}, 3, 0), sphereAt({1.5f, 0.5f, -11}, 3, 1, 1)}, "overlapping");
  expectSameAsBruteForce({sphereAt({0, 0, -12}, 5, 0, 1), sphereAt({0.5f, 0, -12}, 1, 1)}, "nested in glass");
  expectSameAsBruteForce({sphereAt({-2, 0, -10}, 2, 0), sphereAt({2, 0, -10}, 2, 1)}, "tangent");
  // Equal t everywhere: the lower index wins, as in a loop over the particles.
  expectSameAsBruteForce({sphereAt({0, 0, -10}, 3, 0), sphereAt({0, 0, -10}, 3, 1)}, "coincident");
  std::vector<ParticleData> hidden = {sphereAt({0, 0, -6}, 2, 0), sphereAt({0, 0, -10}, 3, 1)};
  hidden[0].visible = 0;
  expectSameAsBruteForce(hidden, "the nearer sphere invisible");
  expectSameAsBruteForce({sphereAt({0, 0, -10020}, 10000, 0), sphereAt({0, 0, -5}, 0.001f, 1),
                          sphereAt({0.1f, 0.1f, -6}, 0, 2), sphereAt({0.3f, -0.2f, -8}, 0.05f, 3)},
                         "huge, tiny and zero radii", {1u, 0u});
  expectSameAsBruteForce({sphereAt({0, 0, 0}, 50, 0, 1), sphereAt({0, 1, -10}, 2, 1), sphereAt({0, 0, 5}, 2, 2)},
                         "the camera inside a glass sphere", {1u, 0u});
}

// Full buffers of spheres of every size, some inside others, some hidden, around and in front of
// the camera.
TEST_F(SceneRenderGpu, HierarchyOverAFullBufferFindsWhatTestingEverySphereFinds) {
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return float(state >> 8) / float(1u << 24);
  };
  std::vector<ParticleData> particles;
  for (uint32_t i = 0; i < 128; ++i) {
    Vec3 centre{30 * next() - 15, 30 * next() - 15, -45 * next() + 5};
    float pick = next();
    float radius = pick < 0.1f ? 0.002f * next() : pick < 0.9f ? 0.2f + 3 * next() : 8 + 30 * next();
    particles.push_back(sphereAt(centre, radius, i, next() < 0.3f ? 1.0f : 0.0f));
    particles.back().visible = next() < 0.9f ? 1 : 0;
  }
  particles[0] = sphereAt({0, 0, 0}, 400, 0);  // everything inside a wall, the camera too
  expectSameAsBruteForce(particles, "128 spheres", {1u, 0u});
  particles.pop_back();
  expectSameAsBruteForce(particles, "127 spheres");
}

float luminance(const float* c) { return c[0] * 0.299f + c[1] * 0.587f + c[2] * 0.114f; }

TEST_F(ShaderGpuTest, TemporalRestartsWithoutHistoryAndBlendsWithIt) {
  constexpr uint32_t kSize = 32;
  std::vector<float> current(kSize * kSize * 4);
  for (size_t i = 0; i < current.size(); ++i) current[i] = float((i * 37) % 101) / 100.0f;
  for (size_t i = 3; i < current.size(); i += 4) current[i] = 1;
  auto rgba = [&](float r, float g, float b, float a) {
    std::vector<float> t(kSize * kSize * 4);
    for (size_t i = 0; i < t.size(); i += 4) t[i] = r, t[i + 1] = g, t[i + 2] = b, t[i + 3] = a;
    return t;
  };
  auto single = [&](float value) { return std::vector<float>(kSize * kSize, value); };
  ConstantBufferData c = SceneRenderGpu::camera(4);
  c.blendFactor = 0.5f;
  c.depthThreshold = 0.004f;
  c.normalThreshold = 0.9f;
  c.standardDeviation = 1.0f;
  c.velocityScale = 1.0f;

  for (float id : {0.0f, 1.0f}) {
    // Pass 1: no particle (id 0) -> the 17-tap blur. Pass 2: a uniform picture with history
    // of the same particle -> blended, the history's luminance clamped to the neighbourhood.
    std::vector<float> frame = id == 0 ? current : rgba(0.2f, 0.4f, 0.6f, 1);
    GpuTexture* textures[11] = {
        texture(kSize, kSize, kRgba32Float, frame, false), texture(kSize, kSize, kRgba32Float, rgba(0, 0, 0, 1), false),
        texture(kSize, kSize, kRgba32Float, rgba(0.4f, 0.8f, 1.2f, 1), false),
        texture(kSize, kSize, kRgba32Float, rgba(0, 0, -5, id), false),
        texture(kSize, kSize, kRgba32Float, rgba(0, 0, 1, 1), false),
        texture(kSize, kSize, kRgba32Float, rgba(0, 0, -5, id), false),
        texture(kSize, kSize, kRgba32Float, rgba(0, 0, 1, 1), false), texture(kSize, kSize, kR32Float, single(0.7f), false),
        texture(kSize, kSize, kR32Float, single(0.9f), false), texture(kSize, kSize, kR32Float, single(0.5f), false),
        texture(kSize, kSize, kR32Float, single(0.5f), false)};
    GpuTexture* result = texture(kSize, kSize, kRgba32Float, {}, true);
    GpuTexture* m1 = texture(kSize, kSize, kR32Float, {}, true);
    GpuTexture* m2 = texture(kSize, kSize, kR32Float, {}, true);
    GpuBuffer* cb = constants(c);
    std::vector<PassResource> resources;
    for (int k = 0; k < 11; ++k) resources.push_back(boundTexture(*textures[k], k < 7 ? kRgba32Float : kR32Float));
    resources.push_back(boundTexture(*result, kRgba32Float));
    resources.push_back(boundTexture(*m1));
    resources.push_back(boundTexture(*m2));
    resources.push_back(boundConstants(*cb));
    dispatch(kTemporalPass, resources, groupsCovering(kSize), groupsCovering(kSize));
    std::vector<float> out = readFloats(*result, 4), o1 = readFloats(*m1, 1), o2 = readFloats(*m2, 1);

    const int taps[17][2] = {{0, 0}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}, {0, -1}, {1, 0}, {0, 1}, {-1, 0},
                             {-2, -2}, {2, -2}, {-2, 2}, {2, 2}, {0, -2}, {2, 0}, {0, 2}, {-2, 0}};
    int wrong = 0;
    for (int y = 0; y < int(kSize); ++y) {
      for (int x = 0; x < int(kSize); ++x) {
        size_t i = size_t(y) * kSize + x;
        float Lc = luminance(&frame[4 * i]);
        float expected[3] = {0, 0, 0}, e1 = Lc, e2 = Lc * Lc;
        if (id == 0) {
          for (const auto& t : taps) {
            int qx = std::clamp(x + t[0], 0, int(kSize) - 1), qy = std::clamp(y + t[1], 0, int(kSize) - 1);
            for (int k = 0; k < 3; ++k) expected[k] += frame[4 * (size_t(qy) * kSize + qx) + k] / 17.0f;
          }
        } else {
          for (int k = 0; k < 3; ++k) expected[k] = frame[4 * i + k];  // history clamped to this luminance
          e1 = Lc + 0.5f * (0.7f - Lc);
          e2 = Lc * Lc + 0.5f * (0.9f - Lc * Lc);
        }
        // With history, the uniform neighbourhood's spread is a square root of rounding noise.
        float tolerance = id == 0 ? 1e-4f : 1e-3f;
        bool same = std::fabs(o1[i] - e1) < 1e-5f && std::fabs(o2[i] - e2) < 1e-5f;
        for (int k = 0; k < 3; ++k) same = same && std::fabs(out[4 * i + k] - expected[k]) < tolerance;
        wrong += !same;
      }
    }
    EXPECT_EQ(wrong, 0) << "id " << id << ": first pixel " << out[0] << " " << o1[0] << " " << o2[0];
    for (GpuTexture*& t : textures) releaseTexture(t);
    releaseTexture(result);
    releaseTexture(m1);
    releaseTexture(m2);
    releaseBuffer(cb);
  }
}

TEST_F(ShaderGpuTest, ATrousKeepsPixelsWithoutSimilarNeighbours) {
  constexpr uint32_t kSize = 32;
  std::vector<float> colours(kSize * kSize * 4), normals(kSize * kSize * 4), depths(kSize * kSize),
      moments(kSize * kSize, 0.25f);
  for (size_t i = 0; i < kSize * kSize; ++i) {
    for (int k = 0; k < 3; ++k) colours[4 * i + k] = float((i * (k + 3)) % 17) / 16.0f;
    colours[4 * i + 3] = 1;
    normals[4 * i + 2] = 1;
    depths[i] = float(i);  // every neighbour far away in depth
    normals[4 * i + 3] = depths[i];  // where the scene pass leaves it too
  }
  for (int iterStep : {0, 1}) {
    GpuTexture* frame = texture(kSize, kSize, kRgba32Float, colours, false);
    GpuTexture* normal = texture(kSize, kSize, kRgba32Float, normals, false);
    GpuTexture* m1 = texture(kSize, kSize, kR32Float, moments, false);
    GpuTexture* m2 = texture(kSize, kSize, kR32Float, moments, false);
    GpuTexture* depth = texture(kSize, kSize, kR32Float, depths, false);
    GpuTexture* result = texture(kSize, kSize, kRgba32Float, {}, true);
    ATrousConstants constantsBlock{iterStep, {float(kSize), float(kSize), 1}};
    dispatch(kAtrousPass,
             {boundTexture(*frame, kRgba32Float), boundTexture(*normal), boundTexture(*m1), boundTexture(*m2),
              boundTexture(*depth), boundTexture(*result, kRgba32Float)},
             groupsCovering(kSize), groupsCovering(kSize), &constantsBlock);
    std::vector<float> out = readFloats(*result, 4);
    int wrong = 0;
    for (size_t i = 0; i < out.size(); ++i) wrong += std::fabs(out[i] - colours[i]) > 1e-5f;
    EXPECT_EQ(wrong, 0) << "iterStep " << iterStep;
    for (GpuTexture** t : {&frame, &normal, &m1, &m2, &depth, &result}) releaseTexture(*t);
  }
}

}  // namespace
