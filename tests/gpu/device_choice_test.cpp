// Which device draws, on the real device (lavapipe here) with validation on: a device is
// checked against what the program needs and names everything it lacks; the first that has
// everything is taken (or the one the user names), one line says which; a request that no
// device meets stops with the reasons rather than drawing on a device that cannot.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <functional>
#include <string>

#include "gpu/device_choice.h"
#include "tests/support/fatal.h"
#include "tests/support/gpu_test.h"

namespace {

struct DeviceChoiceTest : ::testing::Test {
  ValidationScope validation;
  gfx::Factory* factory = nullptr;
  gfx::Adapter* first = nullptr;
  gfx::AdapterDesc desc;
  void SetUp() override {
    ASSERT_TRUE(gfx::Succeeded(gfx::CreateFactory(0, &factory)));
    ASSERT_TRUE(gfx::Succeeded(factory->EnumAdapters(0, &first)));
    first->GetDesc(&desc);
  }
  void TearDown() override {
    if (first) first->Release();
    if (factory) factory->Release();
  }
  // kOk or kFalse, and the reasons.
  std::pair<gfx::HRESULT, std::string> check(const gfx::DeviceRequirements& requirements) {
    char whyNot[2048] = "unchanged";
    gfx::HRESULT hr = first->CheckRequirements(&requirements, nullptr, whyNot, sizeof(whyNot));
    return {hr, whyNot};
  }
};

TEST_F(DeviceChoiceTest, TheTestDeviceDescribesItselfAndHasWhatTheBackendNeeds) {
  EXPECT_GT(std::strlen(desc.Description), 0u);
  EXPECT_STREQ(desc.Api, "Vulkan");
  EXPECT_TRUE(desc.ApiVersion[0] > 1 || desc.ApiVersion[1] >= 3) << desc.ApiVersion[0] << "." << desc.ApiVersion[1];
  EXPECT_LE(desc.Type, gfx::ADAPTER_TYPE_CPU);
  char whyNot[256] = "unchanged";
  EXPECT_EQ(first->CheckRequirements(nullptr, nullptr, whyNot, sizeof(whyNot)), gfx::kOk);
  EXPECT_STREQ(whyNot, "");
  EXPECT_EQ(check(gfx::DeviceRequirements{}).first, gfx::kOk);
}

// Each need beyond any device is named, with what the device offers where it is a number;
// several at once are all named.
TEST_F(DeviceChoiceTest, EveryUnmetNeedIsNamed) {
  using R = gfx::DeviceRequirements;
  const std::pair<std::function<void(R&)>, const char*> needs[] = {
      {[](R& r) { r.ComputeGroupInvocations = UINT_MAX; }, "threads per group (4294967295 needed)"},
      {[](R& r) { r.ComputeGroupSize[2] = UINT_MAX; }, "threads along z"},
      {[](R& r) { r.ComputeGroupSharedBytes = UINT_MAX; }, "bytes of groupshared memory"},
      {[](R& r) { r.StorageImagesPerStage = UINT_MAX; }, "storage images per stage"},
      {[](R& r) { r.SampledImagesPerStage = UINT_MAX; }, "textures per stage"},
      {[](R& r) { r.SamplersPerStage = UINT_MAX; }, "samplers per stage"},
      {[](R& r) { r.ConstantBuffersPerStage = UINT_MAX; }, "constant buffers per stage"},
      {[](R& r) { r.StorageBuffersPerStage = UINT_MAX; }, "storage buffers per stage"},
      {[](R& r) { r.ConstantBufferBytes = 1ull << 40; }, "bytes in a constant buffer"},
      {[](R& r) { r.ImageSide = UINT_MAX; }, "pixels on an image's side"},
      // Integer textures are never filtered.
      {[](R& r) { r.LinearFilteredFormats[r.LinearFilteredFormatCount++] = gfx::FORMAT_R32G32B32A32_UINT; },
       "no linear filtering of format 3 textures"},
  };
  R all;
  std::string expectedAll;
  for (const auto& [raise, reason] : needs) {
    R one;
    raise(one);
    raise(all);
    auto [hr, whyNot] = check(one);
    EXPECT_EQ(hr, gfx::kFalse) << reason;
    EXPECT_NE(whyNot.find(reason), std::string::npos) << whyNot;
    EXPECT_EQ(whyNot.find(", "), std::string::npos) << "one need, one reason: " << whyNot;
  }
  auto [hr, whyNot] = check(all);
  EXPECT_EQ(hr, gfx::kFalse);
  for (const auto& need : needs) EXPECT_NE(whyNot.find(need.second), std::string::npos) << whyNot;
  // A need the device meets adds nothing.
  R met;
  met.ComputeGroupInvocations = 64;
  met.LinearFilteredFormats[met.LinearFilteredFormatCount++] = gfx::FORMAT_R16G16B16A16_FLOAT;
  met.StorageImageFormats[met.StorageImageFormatCount++] = gfx::FORMAT_R32_FLOAT;
  EXPECT_EQ(check(met).first, gfx::kOk) << check(met).second;
}

std::string upper(std::string text) {
  for (char& c : text) c = char(std::toupper(uint8_t(c)));
  return text;
}

// The first device that can is taken, without a word about the others when it is the first;
// naming it by number or by part of its name (any case) takes it too.
TEST_F(DeviceChoiceTest, TheFirstThatCanOrTheOneNamedIsTakenAndNamed) {
  const std::string name = desc.Description;
  const std::string byNumber = "0", byName = upper(name.substr(0, 4));
  for (const char* device : {static_cast<const char*>(nullptr), byNumber.c_str(), byName.c_str()}) {
    DeviceChoice choice;
    choice.requirements.ComputeGroupInvocations = 64;
    choice.device = device;
    ::testing::internal::CaptureStdout();
    gfx::Adapter* taken = chooseAdapter(factory, choice, nullptr);
    const std::string said = ::testing::internal::GetCapturedStdout();
    ASSERT_NE(taken, nullptr);
    gfx::AdapterDesc takenDesc;
    taken->GetDesc(&takenDesc);
    taken->Release();
    EXPECT_EQ(std::string(takenDesc.Description), name);
    EXPECT_EQ(said, "Drawing with device 0, " + name + (device ? ", as asked" : "") + "\n");
  }
  std::string error;
  EXPECT_TRUE(deviceNameFound(byName.c_str(), &error));
  EXPECT_FALSE(deviceNameFound("no device is called this", &error));
  EXPECT_NE(error.find("no device is named 'no device is called this' (the devices: 0 " + name), std::string::npos)
      << error;
}

TEST_F(DeviceChoiceTest, TheListGivesEachDeviceWithWhetherItCanRunWhatIsNeeded) {
  std::string list;
  ASSERT_TRUE(listDevices(gfx::DeviceRequirements{}, &list));
  EXPECT_EQ(list.rfind(std::string("0: ") + desc.Description + "\n", 0), 0u) << list;
  EXPECT_NE(list.find("usable, the one taken unless another is asked for"), std::string::npos) << list;
  gfx::DeviceRequirements beyond;
  beyond.ImageSide = UINT_MAX;
  ASSERT_TRUE(listDevices(beyond, &list));
  EXPECT_NE(list.find("not usable: at most "), std::string::npos) << list;
  EXPECT_EQ(list.find("the one taken"), std::string::npos) << list;
}

using DeviceChoiceDeathTest = DeviceChoiceTest;

TEST_F(DeviceChoiceDeathTest, NoDeviceThatCanStopsWithWhatEachLacks) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  DeviceChoice beyond;
  beyond.requirements.ComputeGroupInvocations = UINT_MAX;
  EXPECT_FATAL(chooseAdapter(factory, beyond, nullptr),
               "gfx: no device has everything needed: device 0, .*threads per group.*\n"
               "PANIC: Failed to aquire adapter");
  DeviceChoice unnamed;
  unnamed.device = "no device is called this";
  EXPECT_FATAL(chooseAdapter(factory, unnamed, nullptr),
               "gfx: no device is named 'no device is called this' \\(the devices: 0 .*\n"
               "PANIC: Failed to aquire adapter");
}

}  // namespace
