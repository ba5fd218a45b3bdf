// Texture uploads and read-backs through placed footprints, sampling with a static
// sampler into a storage image, a texture carried through every state the program uses, and
// the filtered copy that scales a picture into part of another.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform_test_shaders.h"
#include "tests/support/gpu_test.h"

namespace {

using namespace gfx;

class TextureTest : public GpuTest {
 protected:
  // Uploads `texels` (tightly packed) into a new texture in state `state` via an upload buffer.
  Resource* uploadTexture(uint32_t width, uint32_t height, Format format, const std::vector<uint8_t>& texels,
                          ResourceStates state, ResourceFlags flags = RESOURCE_FLAG_NONE) {
    Resource* texture = createTexture(width, height, format, RESOURCE_STATE_COPY_DEST, flags);
    ResourceDesc desc = texture->GetDesc();
    PlacedSubresourceFootprint footprint;
    UINT rows = 0;
    UINT64 rowSize = 0, total = 0;
    device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, &rows, &rowSize, &total);
    Resource* upload = createBuffer(total, HEAP_TYPE_UPLOAD, RESOURCE_STATE_GENERIC_READ);
    void* mapped = nullptr;
    EXPECT_TRUE(Succeeded(upload->Map(0, nullptr, &mapped)));
    for (UINT r = 0; r < rows; ++r)
      std::memcpy(static_cast<uint8_t*>(mapped) + r * footprint.Footprint.RowPitch, texels.data() + r * rowSize,
                  rowSize);
    TextureCopyLocation dst, src;
    dst.pResource = texture;
    dst.SubresourceIndex = 0;
    src.pResource = upload;
    src.Type = TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
    src.PlacedFootprint = footprint;
    list->CopyTextureRegion(&dst, 0, 0, 0, &src, nullptr);
    if (state != RESOURCE_STATE_COPY_DEST) transition(texture, RESOURCE_STATE_COPY_DEST, state);
    return texture;
  }

  // Reads a texture in the COPY_SOURCE state back, tightly packed.
  std::vector<uint8_t> readTexture(Resource* texture) {
    ResourceDesc desc = texture->GetDesc();
    PlacedSubresourceFootprint footprint;
    UINT rows = 0;
    UINT64 rowSize = 0, total = 0;
    device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, &rows, &rowSize, &total);
    Resource* readback = createBuffer(total, HEAP_TYPE_READBACK, RESOURCE_STATE_COPY_DEST);
    TextureCopyLocation dst, src;
    dst.pResource = readback;
    dst.Type = TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
    dst.PlacedFootprint = footprint;
    src.pResource = texture;
    src.SubresourceIndex = 0;
    list->CopyTextureRegion(&dst, 0, 0, 0, &src, nullptr);
    submitAndWait();
    std::vector<uint8_t> padded = mappedBytes(readback, total), packed;
    for (UINT r = 0; r < rows; ++r)
      packed.insert(packed.end(), padded.begin() + r * footprint.Footprint.RowPitch,
                    padded.begin() + r * footprint.Footprint.RowPitch + rowSize);
    return packed;
  }

  static std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
  }
};

TEST_F(TextureTest, FootprintsPadRowsTo256Bytes) {
  ResourceDesc desc;
  desc.Dimension = RESOURCE_DIMENSION_TEXTURE2D;
  desc.Width = 5;
  desc.Height = 3;
  desc.Format = FORMAT_R8G8B8A8_UNORM;
  PlacedSubresourceFootprint footprint;
  UINT rows = 0;
  UINT64 rowSize = 0, total = 0;
  device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, &rows, &rowSize, &total);
  EXPECT_EQ(footprint.Footprint.RowPitch, 256u);
  EXPECT_EQ(rows, 3u);
  EXPECT_EQ(rowSize, 20u);
  EXPECT_EQ(total, 2 * 256u + 20u);  // the last row is not padded
}

TEST_F(TextureTest, UploadedTexelsReadBackUnchanged) {
  struct Case {
    uint32_t width, height;
    Format format;
  };
  // Odd widths: rows shorter than the 256-byte pitch; 16-byte and 4-byte texels.
  for (Case c : {Case{5, 3, FORMAT_R8G8B8A8_UNORM}, Case{7, 4, FORMAT_R32G32B32A32_FLOAT}, Case{3, 2, FORMAT_R32_FLOAT}}) {
    std::vector<uint8_t> texels = pattern(size_t(c.width) * c.height * FormatBytesPerPixel(c.format));
    Resource* texture = uploadTexture(c.width, c.height, c.format, texels, RESOURCE_STATE_COPY_SOURCE);
    EXPECT_EQ(readTexture(texture), texels) << "format " << c.format;
  }
}

TEST_F(TextureTest, NewTexturesAreZeroFilled) {
  Resource* texture = createTexture(4, 4, FORMAT_R8G8B8A8_UNORM, RESOURCE_STATE_COPY_SOURCE, RESOURCE_FLAG_NONE);
  EXPECT_EQ(readTexture(texture), std::vector<uint8_t>(64, 0));
}

TEST_F(TextureTest, ComputeSamplesThroughStaticSamplerIntoStorageImage) {
  constexpr uint32_t kSize = 8;
  std::vector<float> values(kSize * kSize * 4);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i) * 0.25f;
  std::vector<uint8_t> texels(values.size() * 4);
  std::memcpy(texels.data(), values.data(), texels.size());
  Resource* source = uploadTexture(kSize, kSize, FORMAT_R32G32B32A32_FLOAT, texels,
                                   RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
  Resource* target = createTexture(kSize, kSize, FORMAT_R32G32B32A32_FLOAT, RESOURCE_STATE_UNORDERED_ACCESS,
                                   RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);

  DescriptorRange ranges[2];
  ranges[0].RangeType = DESCRIPTOR_RANGE_TYPE_SRV;
  ranges[0].NumDescriptors = 1;
  ranges[1].RangeType = DESCRIPTOR_RANGE_TYPE_UAV;
  ranges[1].NumDescriptors = 1;
  RootParameter parameter;
  parameter.DescriptorTable = {2, ranges};
  StaticSamplerDesc sampler;  // point, clamp, s0
  RootSignatureDesc rootDesc;
  rootDesc.NumParameters = 1;
  rootDesc.pParameters = &parameter;
  rootDesc.NumStaticSamplers = 1;
  rootDesc.pStaticSamplers = &sampler;
  RootSignature* root = nullptr;
  ASSERT_TRUE(Succeeded(device->CreateRootSignature(0, &rootDesc, &root, nullptr)));
  keep(root);
  ComputePipelineStateDesc pso;
  pso.pRootSignature = root;
  pso.CS = {kSampleTextureCS, kSampleTextureCSSize};
  PipelineState* pipeline = nullptr;
  ASSERT_TRUE(Succeeded(device->CreateComputePipelineState(&pso, &pipeline)));
  keep(pipeline);
  DescriptorHeapDesc heapDesc{DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 2, DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE};
  DescriptorHeap* heap = nullptr;
  ASSERT_TRUE(Succeeded(device->CreateDescriptorHeap(&heapDesc, &heap)));
  keep(heap);
  CpuDescriptorHandle start = heap->GetCPUDescriptorHandleForHeapStart();
  ShaderResourceViewDesc srv;
  srv.Format = FORMAT_R32G32B32A32_FLOAT;
  srv.ViewDimension = SRV_DIMENSION_TEXTURE2D;
  srv.Texture2D = {0, 1, 0, 0.0f};
  device->CreateShaderResourceView(source, &srv, start);
  UnorderedAccessViewDesc uav;
  uav.Format = FORMAT_R32G32B32A32_FLOAT;
  uav.ViewDimension = UAV_DIMENSION_TEXTURE2D;
  device->CreateUnorderedAccessView(
      target, nullptr, &uav, {start.ptr + device->GetDescriptorHandleIncrementSize(DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV)});

  list->SetDescriptorHeaps(1, &heap);
  list->SetPipelineState(pipeline);
  list->SetComputeRootSignature(root);
  list->SetComputeRootDescriptorTable(0, heap->GetGPUDescriptorHandleForHeapStart());
  list->Dispatch(1, 1, 1);
  transition(target, RESOURCE_STATE_UNORDERED_ACCESS, RESOURCE_STATE_COPY_SOURCE);
  std::vector<uint8_t> bytes = readTexture(target);
  std::vector<float> result(values.size());
  std::memcpy(result.data(), bytes.data(), bytes.size());
  for (size_t i = 0; i < values.size(); ++i) ASSERT_FLOAT_EQ(result[i], values[i] * 2.0f) << "component " << i;
}

// Every state the frame uses, with a use in each, keeps the contents and raises no message.
TEST_F(TextureTest, TransitionsThroughEveryStateKeepContents) {
  std::vector<uint8_t> texels = pattern(16 * 8 * 4);
  Resource* texture = uploadTexture(16, 8, FORMAT_R8G8B8A8_UNORM, texels, RESOURCE_STATE_UNORDERED_ACCESS,
                                    RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS | RESOURCE_FLAG_ALLOW_RENDER_TARGET);
  Resource* copy = createTexture(16, 8, FORMAT_R8G8B8A8_UNORM, RESOURCE_STATE_COPY_DEST, RESOURCE_FLAG_NONE);
  const ResourceStates chain[] = {RESOURCE_STATE_UNORDERED_ACCESS,
                                  RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
                                  RESOURCE_STATE_PIXEL_SHADER_RESOURCE,
                                  RESOURCE_STATE_ALL_SHADER_RESOURCE,
                                  RESOURCE_STATE_RENDER_TARGET,
                                  RESOURCE_STATE_COMMON,
                                  RESOURCE_STATE_GENERIC_READ,
                                  RESOURCE_STATE_COPY_DEST,
                                  RESOURCE_STATE_COPY_SOURCE};
  for (size_t i = 0; i + 1 < std::size(chain); ++i) transition(texture, chain[i], chain[i + 1]);
  list->CopyResource(copy, texture);
  transition(copy, RESOURCE_STATE_COPY_DEST, RESOURCE_STATE_COPY_SOURCE);
  EXPECT_EQ(readTexture(copy), texels);
  // The states persist across lists: the texture is still a copy source.
  EXPECT_EQ(readTexture(texture), texels);
}

TEST_F(TextureTest, WrongStateBeforeIsReported) {
  Resource* texture = createTexture(4, 4, FORMAT_R8G8B8A8_UNORM, RESOURCE_STATE_COPY_DEST, RESOURCE_FLAG_NONE);
  ValidationScope::beginExpecting();
  transition(texture, RESOURCE_STATE_PIXEL_SHADER_RESOURCE, RESOURCE_STATE_COPY_SOURCE);
  EXPECT_EQ(ValidationScope::endExpecting(), 1u);
  // The layout it really had was used, so the following copy is sound.
  EXPECT_EQ(readTexture(texture), std::vector<uint8_t>(64, 0));
}

// Two RGBA texels scaled into columns 1-8 of rows 1-2 of a BGRA target: bilinear between them
// with the edges clamped, the channels reordered, and every pixel outside the rectangle kept.
TEST_F(TextureTest, ScaledCopyFiltersIntoItsRectangleOnly) {
  const std::vector<uint8_t> texels = {0, 0, 0, 255, 200, 100, 40, 255};
  Resource* source = uploadTexture(2, 1, FORMAT_R8G8B8A8_UNORM, texels, RESOURCE_STATE_COPY_SOURCE);
  const std::vector<uint8_t> before = pattern(10 * 4 * 4);
  Resource* target = uploadTexture(10, 4, FORMAT_B8G8R8A8_UNORM, before, RESOURCE_STATE_COPY_SOURCE);
  transition(target, RESOURCE_STATE_COPY_SOURCE, RESOURCE_STATE_COPY_DEST);  // after the upload's write
  ASSERT_EQ(list->ScaleTexture(target, Rect{1, 1, 9, 3}, source), kOk);
  transition(target, RESOURCE_STATE_COPY_DEST, RESOURCE_STATE_COPY_SOURCE);
  const std::vector<uint8_t> after = readTexture(target);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 10; ++x) {
      const size_t at = 4 * (size_t(y) * 10 + x);
      if (x < 1 || x >= 9 || y < 1 || y >= 3) {
        EXPECT_EQ(std::vector<uint8_t>(after.begin() + at, after.begin() + at + 4),
                  std::vector<uint8_t>(before.begin() + at, before.begin() + at + 4))
            << x << "," << y;
        continue;
      }
      // The second texel's share at this pixel's centre, four target pixels per texel.
      const float share = std::clamp((x - 1 + 0.5f) / 4.0f - 0.5f, 0.0f, 1.0f);
      const int blue = int(std::lround(40 * share)), green = int(std::lround(100 * share)),
                red = int(std::lround(200 * share));
      EXPECT_NEAR(after[at], blue, 1) << x << "," << y;
      EXPECT_NEAR(after[at + 1], green, 1) << x << "," << y;
      EXPECT_NEAR(after[at + 2], red, 1) << x << "," << y;
      EXPECT_EQ(after[at + 3], 255) << x << "," << y;
    }
  }
}

TEST_F(TextureTest, ScaledCopyOutsideItsTargetOrStatesIsReported) {
  Resource* source = createTexture(2, 2, FORMAT_R8G8B8A8_UNORM, RESOURCE_STATE_COPY_SOURCE, RESOURCE_FLAG_NONE);
  Resource* target = createTexture(4, 4, FORMAT_R8G8B8A8_UNORM, RESOURCE_STATE_COPY_DEST, RESOURCE_FLAG_NONE);
  ValidationScope::beginExpecting();
  EXPECT_EQ(list->ScaleTexture(target, Rect{0, 0, 5, 4}, source), kInvalidArg);
  EXPECT_EQ(list->ScaleTexture(target, Rect{2, 0, 2, 4}, source), kInvalidArg);
  EXPECT_EQ(list->ScaleTexture(source, Rect{0, 0, 2, 2}, target), kInvalidArg);  // the states swapped
  EXPECT_EQ(ValidationScope::endExpecting(), 3u);
  transition(target, RESOURCE_STATE_COPY_DEST, RESOURCE_STATE_COPY_SOURCE);
  EXPECT_EQ(readTexture(target), std::vector<uint8_t>(64, 0)) << "nothing was copied";
}

}  // namespace
