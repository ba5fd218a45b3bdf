// The compiled shaders against the C++ side: constant-record member offsets (the records of
// ParticleConfig.h), register bindings (the binding bases of the graphics layer), thread-group
// sizes and stage interfaces, read from the SPIR-V reflection of every embedded shader.
#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "platform/gfx.h"
#include "shaders/ParticleConfig.h"
#include "tests/shaders/spirv_reflection.h"

namespace {

struct Field {
  std::string name;
  size_t offset;
};
struct Record {
  size_t size;
  std::vector<Field> fields;
};
#define FIELD(record, name) Field{#name, offsetof(record, name)}

const Record kAudioData{sizeof(AudioData), {FIELD(AudioData, duration), FIELD(AudioData, sampleRate)}};
const Record kSimulationData{sizeof(SimulationData),
                             {FIELD(SimulationData, cameraPos), FIELD(SimulationData, scene),
                              FIELD(SimulationData, frame), FIELD(SimulationData, time),
                              FIELD(SimulationData, dt)}};
const Record kParticleSceneData{sizeof(ParticleSceneData),
                                {FIELD(ParticleSceneData, backgroundColor),
                                 FIELD(ParticleSceneData, numParticles)}};
const Record kDepthOfFieldData{sizeof(DepthOfFieldData),
                               {FIELD(DepthOfFieldData, resolution), FIELD(DepthOfFieldData, focusPoint),
                                FIELD(DepthOfFieldData, focusScale), FIELD(DepthOfFieldData, radiusScale),
                                FIELD(DepthOfFieldData, blurSize), FIELD(DepthOfFieldData, maxDist)}};
const Record kFinalPassData{sizeof(FinalPassData),
                            {FIELD(FinalPassData, resolution), FIELD(FinalPassData, nativeResolution),
                             FIELD(FinalPassData, time), FIELD(FinalPassData, brightness),
                             FIELD(FinalPassData, tonemapping), FIELD(FinalPassData, showExtraTexture),
                             FIELD(FinalPassData, frame)}};
const Record kConstantBufferData{
    sizeof(ConstantBufferData),
    {FIELD(ConstantBufferData, cameraPos), FIELD(ConstantBufferData, _padding0),
     FIELD(ConstantBufferData, invViewProjMtx), FIELD(ConstantBufferData, prevCameraPos),
     FIELD(ConstantBufferData, _padding1), FIELD(ConstantBufferData, prevInvViewProjMtx),
     FIELD(ConstantBufferData, viewMtx), FIELD(ConstantBufferData, viewProjMtx),
     FIELD(ConstantBufferData, prevViewProjMtx), FIELD(ConstantBufferData, resolution),
     FIELD(ConstantBufferData, time), FIELD(ConstantBufferData, frame),
     FIELD(ConstantBufferData, sampleCount), FIELD(ConstantBufferData, blendFactor),
     FIELD(ConstantBufferData, depthThreshold), FIELD(ConstantBufferData, normalThreshold),
     FIELD(ConstantBufferData, standardDeviation), FIELD(ConstantBufferData, velocityScale)}};
#undef FIELD
// The spheres' hierarchy, read by the scene pass as a constant buffer of 16-byte blocks.
const Record kSphereBvhBlocks{kSphereBvhRecords * kSphereBvhRecordBytes, {{"blocks", 0}}};
// The depth of field's spiral steps and tile ranges, written as storage buffers, read as constants.
const Record kDepthOfFieldSpiral{kDepthOfFieldSpiralBytes, {{"spiral", 0}}};
const Record kDepthOfFieldTiles{kDepthOfFieldTileBytes, {{"tiles", 0}}};

// Reflection sections: "ubos" constant buffers, "ssbos" buffers, "separate_images" sampled
// textures, "images" storage textures, "separate_samplers" samplers.
struct Binding {
  std::string section;
  std::string name;
  uint32_t binding;
  const Record* record;  // constant buffers only
};
Binding cbv(const char* name, uint32_t reg, const Record& record) {
  return {"ubos", name, gfx::kBindingCbvBase + reg, &record};
}
Binding srvBuffer(const char* name, uint32_t reg) { return {"ssbos", name, gfx::kBindingSrvBase + reg, nullptr}; }
Binding srv(const char* name, uint32_t reg) { return {"separate_images", name, gfx::kBindingSrvBase + reg, nullptr}; }
Binding sampler(const char* name, uint32_t reg) {
  return {"separate_samplers", name, gfx::kBindingSamplerBase + reg, nullptr};
}
Binding uavBuffer(const char* name, uint32_t reg) { return {"ssbos", name, gfx::kBindingUavBase + reg, nullptr}; }
Binding uav(const char* name, uint32_t reg) { return {"images", name, gfx::kBindingUavBase + reg, nullptr}; }

struct ShaderInterface {
  const char* symbol;
  const char* mode;
  int group[3];  // compute only
  std::vector<Binding> bindings;
};

std::vector<ShaderInterface> shaderInterfaces() {
  return {
      {"kAudioProcessCS", "comp", {256, 1, 1}, {uavBuffer("outputFrame", 0), cbv("audioData", 0, kAudioData)}},
      {"kParticleSimulationCS", "comp", {128, 1, 1},  // one group: every particle of the buffer
       {uavBuffer("particles", 0), cbv("simData", 0, kSimulationData),
        cbv("particleScene", 1, kParticleSceneData)}},
      {"kSphereBvhBuildCS", "comp", {128, 1, 1},  // one group: every particle of the buffer
       {srvBuffer("particles", 0), uavBuffer("sphereBvh", 0), cbv("particleScene", 0, kParticleSceneData)}},
      {"kSceneRenderCS", "comp", {32, 32, 1},
       {srvBuffer("particles", 0), uav("outputTexture", 0), uav("velocityBuffer", 1), uav("positionBuffer", 2),
        uav("normalBuffer", 3), uav("depthBuffer", 4), cbv("constantData", 0, kConstantBufferData),
        cbv("particleScene", 1, kParticleSceneData), cbv("simData", 2, kSimulationData),
        cbv("sphereBvh", 3, kSphereBvhBlocks)}},
      {"kSceneRenderBruteForceCS", "comp", {32, 32, 1},  // the same table; the hierarchy unused
       {srvBuffer("particles", 0), uav("outputTexture", 0), uav("velocityBuffer", 1),
        uav("positionBuffer", 2), uav("normalBuffer", 3), uav("depthBuffer", 4),
        cbv("constantData", 0, kConstantBufferData), cbv("particleScene", 1, kParticleSceneData),
        cbv("simData", 2, kSimulationData)}},
      {"kTemporalAccumulationCS", "comp", {32, 32, 1},
       {srv("CurrentFrame", 0), srv("velocityBuffer", 1), srv("HistoryBuffer", 2),
        srv("positionBuffer", 3), srv("normalBuffer", 4), srv("PrevPositionBuffer", 5),
        srv("PrevNormalBuffer", 6), srv("HistoryM1Prev", 7), srv("HistoryM2Prev", 8),
        srv("depthBuffer", 9), srv("PrevDepthBuffer", 10), uav("ResultTexture", 0),
        uav("HistoryM1Out", 1), uav("HistoryM2Out", 2), cbv("constantData", 0, kConstantBufferData),
        sampler("linearClamp", 0), sampler("pointClamp", 1)}},
      {"kATrousFilterCS", "comp", {32, 32, 1},
       {srv("currentFrame", 0), srv("normalBuffer", 1), srv("M1", 2), srv("M2", 3),
        srv("depthBuffer", 4), uav("resultTexture", 0)}},
      {"kRenderToScreenVS", "vert", {0, 0, 0}, {}},
      {"kDepthOfFieldPrepareCS", "comp", {32, 32, 1},
       {srv("depthBuffer", 0), srv("Frame", 1), uav("colourAndDepth", 0), uavBuffer("spiral", 1),
        uavBuffer("tiles", 2), cbv("constantData", 0, kDepthOfFieldData)}},
      {"kDepthOfFieldPS", "frag", {0, 0, 0},
       {srv("depthBuffer", 0), srv("Frame", 1), srv("colourAndDepth", 2), cbv("constantData", 0, kDepthOfFieldData),
        cbv("Spiral", 1, kDepthOfFieldSpiral), cbv("Tiles", 2, kDepthOfFieldTiles), sampler("Sampler", 0)}},
      {"kDepthOfFieldDirectPS", "frag", {0, 0, 0},
       {srv("depthBuffer", 0), srv("Frame", 1), cbv("constantData", 0, kDepthOfFieldData),
        sampler("Sampler", 0)}},
      {"kTransferToBackbufferPS", "frag", {0, 0, 0},
       {srv("frameInput", 0), srv("extraTexture", 1), cbv("finalPassData", 0, kFinalPassData),
        sampler("linearSampler", 0)}},
  };
}

const char* const kSections[] = {"ubos", "ssbos", "separate_images", "images", "separate_samplers",
                                 "textures", "push_constants"};

JsonNode reflect(const std::string& symbol) {
  JsonNode root;
  std::string error;
  EXPECT_TRUE(reflectSpirv(TARNIX_SPIRV_CROSS, std::string(TARNIX_SPV_DIR) + "/" + symbol + ".spv", root, error))
      << error;
  return root;
}

void expectRecordLayout(const JsonNode& root, const JsonNode& resource, const Record& record) {
  const JsonNode& type = root["types"][resource["type"].text];
  const JsonNode& members = type["members"];
  ASSERT_EQ(members.items.size(), record.fields.size()) << resource["name"].text;
  EXPECT_EQ(resource["block_size"].asInt(), static_cast<int>(record.size)) << resource["name"].text;
  for (size_t k = 0; k < record.fields.size(); ++k) {
    EXPECT_EQ(members[k]["name"].text, record.fields[k].name);
    EXPECT_EQ(members[k]["offset"].asInt(), static_cast<int>(record.fields[k].offset))
        << resource["name"].text << "." << record.fields[k].name;
    // 4x4 matrices: four 16-byte rows, stored as the C++ float4x4 lays them out.
    if (members[k]["type"].text == "mat4") {
      EXPECT_EQ(members[k]["matrix_stride"].asInt(), 16);
    }
  }
}

class ShaderLayout : public ::testing::TestWithParam<ShaderInterface> {};

TEST_P(ShaderLayout, MatchesTheProgramsRecordsAndBindings) {
  const ShaderInterface& shader = GetParam();
  JsonNode root = reflect(shader.symbol);
  ASSERT_EQ(root.kind, JsonNode::Kind::Object);

  const JsonNode& entry = root["entryPoints"][0];
  EXPECT_EQ(entry["name"].text, "main");
  EXPECT_EQ(entry["mode"].text, shader.mode);
  if (std::string(shader.mode) == "comp") {
    for (size_t axis = 0; axis < 3; ++axis)
      EXPECT_EQ(entry["workgroup_size"][axis].asInt(), shader.group[axis]) << "axis " << axis;
  }

  size_t reflected = 0;
  std::set<int> usedBindings;
  for (const char* section : kSections) {
    for (const JsonNode& resource : root[section].items) {
      if (std::string(section) == "push_constants") continue;  // descriptor-less
      ++reflected;
      EXPECT_EQ(resource["set"].asInt(), 0) << resource["name"].text;
      EXPECT_TRUE(usedBindings.insert(resource["binding"].asInt()).second)
          << resource["name"].text << " shares binding " << resource["binding"].asInt();
    }
  }
  EXPECT_EQ(reflected, shader.bindings.size()) << "unexpected or missing resources";

  for (const Binding& expected : shader.bindings) {
    const JsonNode* found = nullptr;
    for (const JsonNode& resource : root[expected.section].items)
      if (resource["name"].text == expected.name) found = &resource;
    ASSERT_NE(found, nullptr) << expected.name << " not in " << expected.section;
    EXPECT_EQ(found->operator[]("binding").asInt(), static_cast<int>(expected.binding)) << expected.name;
    if (expected.record) expectRecordLayout(root, *found, *expected.record);
    // Storage images declare no format: the frame binds R16G16B16A16, R32G32B32A32 and R32 ones.
    if (expected.section == "images") {
      EXPECT_FALSE(found->has("format")) << expected.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryShader, ShaderLayout, ::testing::ValuesIn(shaderInterfaces()),
                         [](const auto& info) { return std::string(info.param.symbol).substr(1); });

TEST(ShaderLayout, AudioFramesAreEightByteElements) {
  JsonNode root = reflect("kAudioProcessCS");
  const JsonNode& buffer = root["ssbos"][0];
  EXPECT_EQ(root["types"][buffer["type"].text]["members"][0]["array_stride"].asInt(), 8);
}

// The particle buffer is addressed by bytes (its 104-byte stride is the loaders'), never as a
// structured buffer whose SPIR-V stride would be the 128 bytes of the padded record.
TEST(ShaderLayout, ParticleBufferIsAddressedByBytes) {
  for (const char* symbol : {"kParticleSimulationCS", "kSceneRenderCS", "kSphereBvhBuildCS"}) {
    JsonNode root = reflect(symbol);
    const JsonNode& buffer = root["ssbos"][0];
    const JsonNode& element = root["types"][buffer["type"].text]["members"][0];
    EXPECT_EQ(element["type"].text, "uint") << symbol;
    EXPECT_EQ(element["array_stride"].asInt(), 4) << symbol;
  }
  EXPECT_EQ(sizeof(ParticleData), 104u);
}

TEST(ShaderLayout, ATrousRootConstantsAreOneSixteenByteBlock) {
  JsonNode root = reflect("kATrousFilterCS");
  ASSERT_EQ(root["push_constants"].items.size(), 1u);
  const JsonNode& members = root["types"][root["push_constants"][0]["type"].text]["members"];
  ASSERT_EQ(members.items.size(), 1u);
  EXPECT_EQ(members[0]["type"].text, "vec4");
  EXPECT_EQ(members[0]["offset"].asInt(), 0);
  EXPECT_EQ(sizeof(ATrousConstants), 16u);
  EXPECT_LE(sizeof(ATrousConstants), gfx::kRootConstantsMaxBytes);
}

TEST(ShaderLayout, FullScreenStagesPassPositionsAndWriteOneColour) {
  JsonNode vs = reflect("kRenderToScreenVS");
  ASSERT_EQ(vs["inputs"].items.size(), 1u);
  EXPECT_EQ(vs["inputs"][0]["type"].text, "vec3");
  EXPECT_EQ(vs["inputs"][0]["location"].asInt(), 0);
  for (const char* symbol : {"kDepthOfFieldPS", "kDepthOfFieldDirectPS", "kTransferToBackbufferPS"}) {
    JsonNode ps = reflect(symbol);
    ASSERT_EQ(ps["outputs"].items.size(), 1u) << symbol;
    EXPECT_EQ(ps["outputs"][0]["type"].text, "vec4") << symbol;
    EXPECT_EQ(ps["outputs"][0]["location"].asInt(), 0) << symbol;
  }
}

TEST(SpirvReflectionJson, RejectsMalformedText) {
  JsonNode node;
  std::string error;
  EXPECT_TRUE(parseJson(R"({"a": [1, 2.5, "x"], "b": {"c": true}, "d": null})", node, error)) << error;
  EXPECT_EQ(node["a"][1].number, 2.5);
  EXPECT_TRUE(node["b"]["c"].boolean);
  EXPECT_EQ(node["missing"]["deeper"].kind, JsonNode::Kind::Null);
  for (const char* bad : {"", "{", "[1,", "{\"a\" 1}", "\"open", "[1] 2", "{\"a\":}"}) {
    EXPECT_FALSE(parseJson(bad, node, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
