// The swap chain: three back buffers of its own; Present copies the current one to the
// window's canvas and waits for the display's next frame. Offscreen, Present only moves on.
#include <cstring>
#include <utility>

#include "platform/web/window_web.h"
#include "platform/webgpu/webgpu_glue.h"
#include "platform/webgpu/wg_internal.h"

namespace gfx::webgpu {
namespace {

constexpr UINT kMaxBuffers = 4;

class WgSwapChain final : public Counted<SwapChain> {
 public:
  explicit WgSwapChain(const SwapChainDesc& desc) : desc_(desc) {}
  ~WgSwapChain() override {
    for (WgResource*& buffer : buffers_)
      if (buffer) buffer->Release();
  }

  bool create() {
    if (desc_.BufferCount == 0 || desc_.BufferCount > kMaxBuffers || formatName(desc_.BufferDesc.Format) == nullptr)
      return false;
    ResourceDesc texture;
    texture.Dimension = RESOURCE_DIMENSION_TEXTURE2D;
    texture.Width = desc_.BufferDesc.Width;
    texture.Height = desc_.BufferDesc.Height;
    texture.Format = desc_.BufferDesc.Format;
    texture.Flags = RESOURCE_FLAG_ALLOW_RENDER_TARGET;
    for (UINT i = 0; i < desc_.BufferCount; ++i) {
      buffers_[i] = new WgResource(texture, HEAP_TYPE_DEFAULT);
      if (buffers_[i]->id == 0) return false;
    }
    if (desc_.OutputWindow)
      wgConfigureCanvas(windowCanvasSelector(desc_.OutputWindow), desc_.BufferDesc.Width, desc_.BufferDesc.Height);
    return true;
  }

  HRESULT GetBuffer(UINT buffer, Resource** surface) override {
    if (buffer >= desc_.BufferCount || !surface) return kInvalidArg;
    buffers_[buffer]->AddRef();
    *surface = buffers_[buffer];
    return kOk;
  }
  HRESULT Present(UINT, UINT) override {
    if (desc_.OutputWindow && !windowIsDestroyed(desc_.OutputWindow))
      wgPresent(buffers_[index_]->id, desc_.BufferDesc.Width, desc_.BufferDesc.Height);
    index_ = (index_ + 1) % desc_.BufferCount;
    return kOk;
  }
  UINT GetCurrentBackBufferIndex() override { return index_; }
  HRESULT GetDesc(SwapChainDesc* desc) override {
    *desc = desc_;
    return kOk;
  }
  HRESULT ReadBackBuffer(UINT buffer, void* pixels, UINT64 rowPitch) override;

 private:
  SwapChainDesc desc_;
  WgResource* buffers_[kMaxBuffers] = {};
  UINT index_ = 0;
};

// Through a readback buffer with WebGPU's 256-byte row alignment, after the queued work.
HRESULT WgSwapChain::ReadBackBuffer(UINT buffer, void* pixels, UINT64 rowPitch) {
  if (buffer >= desc_.BufferCount || !pixels) return kInvalidArg;
  const uint32_t width = desc_.BufferDesc.Width, height = desc_.BufferDesc.Height;
  const uint64_t packed = uint64_t(width) * 4, aligned = (packed + 255) / 256 * 256;
  ResourceDesc bufferDesc;
  bufferDesc.Dimension = RESOURCE_DIMENSION_BUFFER;
  bufferDesc.Width = aligned * height;
  auto* readback = new WgResource(bufferDesc, HEAP_TYPE_READBACK);
  int encoder = wgCreateEncoder();
  wgCopyTextureToBuffer(encoder, buffers_[buffer]->id, readback->id, 0, uint32_t(aligned), width, height);
  wgSubmit(encoder);
  void* mapped = nullptr;
  HRESULT result = readback->Map(0, nullptr, &mapped);
  if (Succeeded(result))
    for (uint32_t y = 0; y < height; ++y) {
      uint8_t* row = static_cast<uint8_t*>(pixels) + y * rowPitch;
      std::memcpy(row, static_cast<uint8_t*>(mapped) + y * aligned, packed);
      if (desc_.BufferDesc.Format == FORMAT_B8G8R8A8_UNORM)
        for (uint64_t x = 0; x < packed; x += 4) std::swap(row[x], row[x + 2]);
    }
  readback->Release();
  return result;
}

}  // namespace

HRESULT createSwapChain(CommandQueue*, const SwapChainDesc* desc, SwapChain** swapChain) {
  *swapChain = nullptr;
  auto* created = new WgSwapChain(*desc);
  if (!created->create()) {
    created->Release();
    return kInvalidArg;
  }
  *swapChain = created;
  return kOk;
}

}  // namespace gfx::webgpu

namespace gfx {
// The canvas is configured R8G8B8A8 and the present copies the back buffer into it.
Format PreferredBackBufferFormat() { return FORMAT_R8G8B8A8_UNORM; }
}  // namespace gfx
