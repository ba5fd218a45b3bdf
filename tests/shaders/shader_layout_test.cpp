// The compiled shaders against the C++ side: constant-record member offsets (the records of
// ParticleConfig.h), each pass's description against the registers its shader binds,
// thread-group sizes and stage interfaces, read from the SPIR-V reflection of every embedded
// shader.
#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "app/frame_passes.h"
#include "audio/music_synthesis_pass.h"
#include "edit/hud_pass.h"
#include "platform/gfx.h"
#include "shaders/ParticleConfig.h"
#include "tests/shaders/pass_reflection.h"
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

// What a shader's reflection shows beyond its bindings: its stage, its group size and the
// records behind its constant buffers.
struct ShaderInterface {
  const char* symbol;
  const char* mode;
  int group[3];  // compute only
  std::vector<std::pair<std::string, const Record*>> records;  // constant buffer name, record
};

std::vector<ShaderInterface> shaderInterfaces() {
  return {
      {"kAudioProcessCS", "comp", {256, 1, 1}, {{"audioData", &kAudioData}}},
      // One group: every particle of the buffer.
      {"kParticleSimulationCS", "comp", {128, 1, 1}, {{"simData", &kSimulationData}, {"particleScene", &kParticleSceneData}}},
      {"kSphereBvhBuildCS", "comp", {128, 1, 1}, {{"particleScene", &kParticleSceneData}}},
      {"kSceneRenderCS", "comp", {kImageGroupSide, kImageGroupSide, 1},
       {{"constantData", &kConstantBufferData}, {"particleScene", &kParticleSceneData}, {"simData", &kSimulationData},
        {"sphereBvh", &kSphereBvhBlocks}}},
      {"kSceneRenderBruteForceCS", "comp", {kImageGroupSide, kImageGroupSide, 1},
       {{"constantData", &kConstantBufferData}, {"particleScene", &kParticleSceneData}, {"simData", &kSimulationData}}},
      {"kTemporalAccumulationCS", "comp", {kImageGroupSide, kImageGroupSide, 1}, {{"constantData", &kConstantBufferData}}},
      {"kATrousFilterCS", "comp", {kImageGroupSide, kImageGroupSide, 1}, {}},
      {"kRenderToScreenVS", "vert", {0, 0, 0}, {}},
      {"kDepthOfFieldPrepareCS", "comp", {kImageGroupSide, kImageGroupSide, 1}, {{"constantData", &kDepthOfFieldData}}},
      {"kDepthOfFieldPS", "frag", {0, 0, 0},
       {{"constantData", &kDepthOfFieldData}, {"Spiral", &kDepthOfFieldSpiral}, {"Tiles", &kDepthOfFieldTiles}}},
      {"kDepthOfFieldDirectPS", "frag", {0, 0, 0}, {{"constantData", &kDepthOfFieldData}}},
      {"kTransferToBackbufferPS", "frag", {0, 0, 0}, {{"finalPassData", &kFinalPassData}}},
      {"kToneMapCS", "comp", {kImageGroupSide, kImageGroupSide, 1}, {{"finalPassData", &kFinalPassData}}},
      {"kScaleToBackbufferPS", "frag", {0, 0, 0}, {{"finalPassData", &kFinalPassData}}},
      {"kHudOverlayPS", "frag", {0, 0, 0}, {}},
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

TEST_P(ShaderLayout, MatchesTheProgramsRecords) {
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
  std::set<int> usedBindings;
  for (const char* section : kSections) {
    if (std::string(section) == "push_constants") continue;  // descriptor-less
    for (const JsonNode& resource : root[section].items) {
      EXPECT_EQ(resource["set"].asInt(), 0) << resource["name"].text;
      EXPECT_TRUE(usedBindings.insert(resource["binding"].asInt()).second)
          << resource["name"].text << " shares binding " << resource["binding"].asInt();
      // Storage images declare no format: the frame binds R16G16B16A16, R32G32B32A32 and R32 ones.
      if (std::string(section) == "images") {
        EXPECT_FALSE(resource.has("format")) << resource["name"].text;
      }
    }
  }
  EXPECT_EQ(root["ubos"].items.size(), shader.records.size()) << "constant buffers without a record";
  for (const auto& [name, record] : shader.records) {
    const JsonNode* found = nullptr;
    for (const JsonNode& resource : root["ubos"].items)
      if (resource["name"].text == name) found = &resource;
    ASSERT_NE(found, nullptr) << name;
    expectRecordLayout(root, *found, *record);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryShader, ShaderLayout, ::testing::ValuesIn(shaderInterfaces()),
                         [](const auto& info) { return std::string(info.param.symbol).substr(1); });

// Each pass's description against its shader: the register a slot names in HLSL and the slot
// the program binds it to are the same, so a register changed on one side alone fails here.
struct DescribedPass {
  const PassDescription* pass;
  std::vector<std::string> mayBeUnused;
};

class PassLayout : public ::testing::TestWithParam<DescribedPass> {};

TEST_P(PassLayout, DescriptionMatchesTheShader) {
  const DescribedPass& described = GetParam();
  JsonNode root = reflect(std::string("k") + described.pass->name);
  for (const std::string& difference : differencesFromReflection(*described.pass, root, described.mayBeUnused))
    ADD_FAILURE() << difference;
}

INSTANTIATE_TEST_SUITE_P(
    EveryPass, PassLayout,
    ::testing::Values(DescribedPass{&kMusicSynthesisPass, {}}, DescribedPass{&kParticleSimulationPass, {}},
                      DescribedPass{&kSphereBvhBuildPass, {}}, DescribedPass{&kScenePass, {}},
                      DescribedPass{&kSceneBruteForcePass, {"sphereBvh"}}, DescribedPass{&kTemporalPass, {}},
                      // The a-trous filter reads the depth image on the web only (elsewhere the
                      // normal image carries the depth).
                      DescribedPass{&kAtrousPass, {"depthBuffer"}}, DescribedPass{&kDepthOfFieldPreparePass, {}},
                      DescribedPass{&kDepthOfFieldPass, {}}, DescribedPass{&kDepthOfFieldDirectPass, {}},
                      DescribedPass{&kFinalPass, {}}, DescribedPass{&kToneMapPass, {}},
                      DescribedPass{&kScaleToBackbufferPass, {}}, DescribedPass{&kHudOverlayPass, {}}),
    [](const auto& info) { return std::string(info.param.pass->name); });

// A description that drifted from its shader is caught, whichever side moved.
TEST(PassLayout, AMismatchIsCaught) {
  JsonNode root = reflect("kSceneRenderCS");
  std::vector<PassSlot> slots(kScenePass.slots.begin(), kScenePass.slots.end());
  auto differencesWith = [&](const std::vector<PassSlot>& changed) {
    PassDescription pass = kScenePass;
    pass.slots = changed;
    return differencesFromReflection(pass, root);
  };
  EXPECT_TRUE(differencesWith(slots).empty());

  std::vector<PassSlot> swapped = slots;  // u1 and u2 exchanged: both land on the other's register
  std::swap(swapped[2], swapped[3]);
  EXPECT_EQ(differencesWith(swapped).size(), 2u);

  std::vector<PassSlot> missing(slots.begin(), slots.end() - 1);  // the hierarchy's b3 left out
  ASSERT_EQ(differencesWith(missing).size(), 1u);
  EXPECT_NE(differencesWith(missing)[0].find("sphereBvh"), std::string::npos);

  std::vector<PassSlot> retyped = slots;  // the particles written instead of read
  retyped[0].kind = SlotKind::StorageBuffer;
  EXPECT_FALSE(differencesWith(retyped).empty());

  PassDescription withConstants = kScenePass;
  withConstants.rootConstants = true;
  EXPECT_EQ(differencesFromReflection(withConstants, root).size(), 1u);
}

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
  for (const char* symbol :
       {"kDepthOfFieldPS", "kDepthOfFieldDirectPS", "kTransferToBackbufferPS", "kScaleToBackbufferPS"}) {
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
