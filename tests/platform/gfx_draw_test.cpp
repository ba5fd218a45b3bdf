// A full-screen triangle drawn into the back buffers of an offscreen swap chain.
#include <array>
#include <cstring>

#include "platform_test_shaders.h"
#include "tests/support/gpu_test.h"

namespace {

using namespace gfx;

constexpr uint32_t kWidth = 64, kHeight = 32;

class DrawTest : public GpuTest {
 protected:
  void SetUp() override {
    GpuTest::SetUp();
    SwapChainDesc desc;
    desc.BufferDesc.Width = kWidth;
    desc.BufferDesc.Height = kHeight;
    desc.BufferDesc.Format = FORMAT_R8G8B8A8_UNORM;
    desc.BufferUsage = USAGE_RENDER_TARGET_OUTPUT | USAGE_SHADER_INPUT;
    desc.BufferCount = 3;
    ASSERT_TRUE(Succeeded(factory->CreateSwapChain(queue, &desc, &swapChain)));
    keep(swapChain);
    DescriptorHeapDesc rtvDesc{DESCRIPTOR_HEAP_TYPE_RTV, 1, DESCRIPTOR_HEAP_FLAG_NONE};
    ASSERT_TRUE(Succeeded(device->CreateDescriptorHeap(&rtvDesc, &rtvHeap)));
    keep(rtvHeap);
  }

  // The pipeline of fullscreen_vs + fill_ps with the program's blend policy.
  void makePipeline() {
    DescriptorRange range;
    range.RangeType = DESCRIPTOR_RANGE_TYPE_CBV;
    range.NumDescriptors = 1;
    RootParameter parameter;
    parameter.DescriptorTable = {1, &range};
    parameter.ShaderVisibility = SHADER_VISIBILITY_PIXEL;
    RootSignatureDesc rootDesc;
    rootDesc.NumParameters = 1;
    rootDesc.pParameters = &parameter;
    rootDesc.Flags = ROOT_SIGNATURE_FLAG_ALLOW_INPUT_ASSEMBLER_INPUT_LAYOUT;
    ASSERT_TRUE(Succeeded(device->CreateRootSignature(0, &rootDesc, &root, nullptr)));
    keep(root);
    InputElementDesc element;
    element.SemanticName = "POSITION";
    element.Format = FORMAT_R32G32B32_FLOAT;
    GraphicsPipelineStateDesc pso;
    pso.pRootSignature = root;
    pso.VS = {kFullscreenVS, kFullscreenVSSize};
    pso.PS = {kFillPS, kFillPSSize};
    RenderTargetBlendDesc& blend = pso.BlendState.RenderTarget[0];
    blend.BlendEnable = 1;
    blend.SrcBlend = BLEND_SRC_ALPHA;
    blend.DestBlend = BLEND_INV_SRC_ALPHA;
    blend.SrcBlendAlpha = BLEND_ONE;
    blend.DestBlendAlpha = BLEND_INV_SRC_ALPHA;
    pso.RasterizerState.CullMode = CULL_MODE_NONE;
    pso.InputLayout = {&element, 1};
    pso.NumRenderTargets = 1;
    pso.RTVFormats[0] = FORMAT_R8G8B8A8_UNORM;
    ASSERT_TRUE(Succeeded(device->CreateGraphicsPipelineState(&pso, &pipeline)));
    keep(pipeline);

    const float triangle[9] = {-1, -7, 0, -1, 7, 0, 7, 7, 0};
    vertices = createBuffer(256, HEAP_TYPE_UPLOAD, RESOURCE_STATE_GENERIC_READ);
    constants = createBuffer(256, HEAP_TYPE_UPLOAD, RESOURCE_STATE_GENERIC_READ);
    void* mapped = nullptr;
    ASSERT_TRUE(Succeeded(vertices->Map(0, nullptr, &mapped)));
    std::memcpy(mapped, triangle, sizeof(triangle));
    DescriptorHeapDesc heapDesc{DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 1, DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE};
    ASSERT_TRUE(Succeeded(device->CreateDescriptorHeap(&heapDesc, &heap)));
    keep(heap);
    ConstantBufferViewDesc cbv{constants->GetGPUVirtualAddress(), 256};
    device->CreateConstantBufferView(&cbv, heap->GetCPUDescriptorHandleForHeapStart());
  }

  void setColors(const float top[4], const float bottom[4]) {
    void* mapped = nullptr;
    ASSERT_TRUE(Succeeded(constants->Map(0, nullptr, &mapped)));
    std::memcpy(mapped, top, 16);
    std::memcpy(static_cast<uint8_t*>(mapped) + 16, bottom, 16);
  }

  // Records: back buffer -> render target, clear, triangle, -> present.
  void recordFrame(Resource* backBuffer, bool draw) {
    CpuDescriptorHandle rtv = rtvHeap->GetCPUDescriptorHandleForHeapStart();
    RenderTargetViewDesc view;
    view.Format = FORMAT_R8G8B8A8_UNORM;
    device->CreateRenderTargetView(backBuffer, &view, rtv);
    transition(backBuffer, RESOURCE_STATE_PRESENT, RESOURCE_STATE_RENDER_TARGET);
    list->OMSetRenderTargets(1, &rtv, 1, nullptr);
    const float black[4] = {0, 0, 0, 1};
    list->ClearRenderTargetView(rtv, black, 0, nullptr);
    if (draw) {
      list->SetDescriptorHeaps(1, &heap);
      list->SetPipelineState(pipeline);
      list->SetGraphicsRootSignature(root);
      VertexBufferView vbv{vertices->GetGPUVirtualAddress(), 36, 12};
      list->IASetVertexBuffers(0, 1, &vbv);
      list->IASetPrimitiveTopology(PRIMITIVE_TOPOLOGY_TRIANGLELIST);
      Rect scissor{0, 0, int32_t(kWidth), int32_t(kHeight)};
      list->RSSetScissorRects(1, &scissor);
      Viewport viewport{0, 0, float(kWidth), float(kHeight), 0.0f, 1.0f};
      list->RSSetViewports(1, &viewport);
      list->SetGraphicsRootDescriptorTable(0, heap->GetGPUDescriptorHandleForHeapStart());
      list->DrawInstanced(3, 1, 0, 0);
    }
    transition(backBuffer, RESOURCE_STATE_RENDER_TARGET, RESOURCE_STATE_PRESENT);
  }

  std::vector<uint32_t> readBackBuffer(UINT index) {
    std::vector<uint32_t> pixels(kWidth * kHeight);
    EXPECT_TRUE(Succeeded(swapChain->ReadBackBuffer(index, pixels.data(), kWidth * 4)));
    return pixels;
  }

  SwapChain* swapChain = nullptr;
  DescriptorHeap* rtvHeap = nullptr;
  DescriptorHeap* heap = nullptr;
  RootSignature* root = nullptr;
  PipelineState* pipeline = nullptr;
  Resource* vertices = nullptr;
  Resource* constants = nullptr;
};

constexpr uint32_t rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16 | uint32_t(a) << 24;
}

TEST_F(DrawTest, FullScreenTriangleCoversTargetWithTopUp) {
  makePipeline();
  const float red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1};
  setColors(red, green);
  Resource* backBuffer = nullptr;
  ASSERT_TRUE(Succeeded(swapChain->GetBuffer(0, &backBuffer)));
  recordFrame(backBuffer, true);
  backBuffer->Release();
  submitAndWait();
  ASSERT_TRUE(Succeeded(swapChain->Present(1, 0)));
  std::vector<uint32_t> pixels = readBackBuffer(0);
  // Clip-space y = +1 is the top row, as in D3D12: red above, green below, every pixel drawn.
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x)
      ASSERT_EQ(pixels[y * kWidth + x], y < kHeight / 2 ? rgba(255, 0, 0, 255) : rgba(0, 255, 0, 255))
          << "pixel " << x << "," << y;
}

TEST_F(DrawTest, AlphaBlendsOverTheClearColour) {
  makePipeline();
  const float halfWhite[4] = {1, 1, 1, 0.5f};
  setColors(halfWhite, halfWhite);
  Resource* backBuffer = nullptr;
  ASSERT_TRUE(Succeeded(swapChain->GetBuffer(0, &backBuffer)));
  recordFrame(backBuffer, true);
  backBuffer->Release();
  submitAndWait();
  uint32_t pixel = readBackBuffer(0)[0];
  // colour: 1 * 0.5 + 0 * 0.5; alpha: 0.5 * 1 + 1 * 0.5.
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(int((pixel >> (8 * c)) & 0xFF), 128, 1) << "channel " << c;
  EXPECT_EQ(pixel >> 24, 255u);
}

TEST_F(DrawTest, BackBuffersRotateAndKeepTheirOwnContents) {
  EXPECT_EQ(swapChain->GetCurrentBackBufferIndex(), 0u);
  for (UINT frame = 0; frame < 3; ++frame) {
    Resource* backBuffer = nullptr;
    ASSERT_TRUE(Succeeded(swapChain->GetBuffer(frame, &backBuffer)));
    CpuDescriptorHandle rtv = rtvHeap->GetCPUDescriptorHandleForHeapStart();
    device->CreateRenderTargetView(backBuffer, nullptr, rtv);
    transition(backBuffer, RESOURCE_STATE_PRESENT, RESOURCE_STATE_RENDER_TARGET);
    const float colour[4] = {frame / 4.0f, 0, 0, 1};
    list->ClearRenderTargetView(rtv, colour, 0, nullptr);
    transition(backBuffer, RESOURCE_STATE_RENDER_TARGET, RESOURCE_STATE_PRESENT);
    backBuffer->Release();
    submitAndWait();
    ASSERT_TRUE(Succeeded(swapChain->Present(1, 0)));
    EXPECT_EQ(swapChain->GetCurrentBackBufferIndex(), (frame + 1) % 3);
  }
  for (UINT frame = 0; frame < 3; ++frame) {
    uint32_t red = readBackBuffer(frame)[kWidth * kHeight - 1] & 0xFF;
    EXPECT_NEAR(int(red), int(frame * 255 / 4.0f + 0.5f), 1) << "buffer " << frame;
  }
}

TEST_F(DrawTest, TargetsAndBackBuffersInTheWrongStateAreReported) {
  makePipeline();
  setColors(std::array<float, 4>{1, 1, 1, 1}.data(), std::array<float, 4>{1, 1, 1, 1}.data());
  Resource* backBuffer = nullptr;
  ASSERT_TRUE(Succeeded(swapChain->GetBuffer(0, &backBuffer)));
  CpuDescriptorHandle rtv = rtvHeap->GetCPUDescriptorHandleForHeapStart();
  device->CreateRenderTargetView(backBuffer, nullptr, rtv);
  const float black[4] = {0, 0, 0, 1};
  ValidationScope::beginExpecting();
  list->ClearRenderTargetView(rtv, black, 0, nullptr);  // still PRESENT: refused
  transition(backBuffer, RESOURCE_STATE_PRESENT, RESOURCE_STATE_RENDER_TARGET);
  list->OMSetRenderTargets(1, &rtv, 1, nullptr);
  list->SetPipelineState(pipeline);
  list->SetGraphicsRootSignature(root);
  list->SetGraphicsRootDescriptorTable(0, heap->GetGPUDescriptorHandleForHeapStart());
  list->SetDescriptorHeaps(1, &heap);
  list->DrawInstanced(3, 1, 0, 0);  // no viewport or scissor yet
  EXPECT_EQ(ValidationScope::endExpecting(), 2u);
  submitAndWait();
  ValidationScope::beginExpecting();
  EXPECT_TRUE(Succeeded(swapChain->Present(1, 0)));  // still a render target: reported
  EXPECT_EQ(ValidationScope::endExpecting(), 1u);
  transition(backBuffer, RESOURCE_STATE_RENDER_TARGET, RESOURCE_STATE_PRESENT);
  backBuffer->Release();
  submitAndWait();
}

}  // namespace
