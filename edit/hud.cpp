#include "edit/hud.h"

#include <algorithm>
#include <cstring>

#include "edit/hud_pass.h"
#include "gpu/render_app.h"
#include "shader_blobs.h"

namespace {

constexpr uint32_t kRgba8 = gfx::FORMAT_R8G8B8A8_UNORM;

// Characters about 1/45 of the window's height: 16 pixels in a 720-pixel window.
int32_t fontPixelsFor(uint32_t windowHeight) { return std::max<int32_t>(11, int32_t(windowHeight / 45)); }

// The canvas into this frame context's upload buffer, then copied into the texture.
void uploadCanvas(Hud& hud, gfx::GraphicsCommandList* cl, const uint8_t* pixels) {
  gfx::ResourceDesc desc = hud.texture->resource.resource->GetDesc();
  gfx::PlacedSubresourceFootprint footprint = {};
  uint32_t rows = 0;
  uint64_t rowSize = 0, total = 0;
  renderApp.device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, &rows, &rowSize, &total);
  GpuBuffer* upload = hud.uploads[renderApp.frameContextIndex];
  void* mapped = nullptr;
  if (gfx::Failed(upload->resource.resource->Map(0, nullptr, &mapped)) || mapped == nullptr) return;
  for (uint32_t row = 0; row < rows; ++row)
    memcpy(static_cast<uint8_t*>(mapped) + uint64_t(row) * footprint.Footprint.RowPitch,
           pixels + uint64_t(row) * hud.texture->width * 4, size_t(rowSize));
  upload->resource.resource->Unmap(0, nullptr);

  BarrierBatch barriers = {};
  requestTransition(barriers, hud.texture->resource, kStateCopyDest);
  flush(barriers, cl);
  gfx::TextureCopyLocation destination = {}, source = {};
  destination.pResource = hud.texture->resource.resource;
  destination.Type = gfx::TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
  source.pResource = upload->resource.resource;
  source.Type = gfx::TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
  source.PlacedFootprint = footprint;
  cl->CopyTextureRegion(&destination, 0, 0, 0, &source, nullptr);
  requestTransition(barriers, hud.texture->resource, kStatePixelShaderResource);
  flush(barriers, cl);
  destroyBarrierBatch(barriers);
}

}  // namespace

void createHud(Hud& hud, uint32_t windowWidth, uint32_t windowHeight) {
  hud.text = createOverlayText(windowWidth, kHudLines, fontPixelsFor(windowHeight));
  const uint32_t width = hud.text != nullptr ? overlayWidth(hud.text) : 1;
  const uint32_t height = hud.text != nullptr ? overlayHeight(hud.text) : 1;
  // Transparent until the first lines arrive.
  std::vector<uint8_t> clear(size_t(width) * height * 4, 0);
  hud.texture = createTexture(width, height, clear.data(), kStatePixelShaderResource, kRgba8, 0);
  for (GpuBuffer*& upload : hud.uploads)
    upload = createBuffer(textureStagingSize(width, height, 4), BufferType::Upload, nullptr, false, 0);
  buildFullscreenPass(hud.pass, kHudOverlayPass, {kRenderToScreenVS, kRenderToScreenVSSize}, renderApp.backBufferFormat);
  if (hud.pass.pipeline == nullptr) PANIC("Failed to create graphics pipeline\n");
}

void destroyHud(Hud& hud) {
  destroyFullscreenPass(hud.pass);
  for (GpuBuffer*& upload : hud.uploads) releaseBuffer(upload);
  releaseTexture(hud.texture);
  hud.bindings.clear();
  destroyOverlayText(hud.text);
  hud.text = nullptr;
}

uint32_t hudCharactersPerLine(const Hud& hud) { return hud.text != nullptr ? overlayCharactersPerLine(hud.text) : 80; }

void recordHud(Hud& hud, Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& frameHeap,
               const std::vector<std::string>& lines) {
  if (!hud.visible || hud.text == nullptr) return;
  if (lines != hud.shownLines) {
    uploadCanvas(hud, cl, drawOverlayLines(hud.text, lines));
    hud.shownLines = lines;
  }
  const PassResource resources[] = {boundTexture(*hud.texture)};
  // Over the picture the final pass drew: no clear.
  recordFullscreenPass(cl, kHudOverlayPass, hud.pass, resources, hud.bindings, frameHeap, cpuHandle(p.targetViews, 1),
                       renderApp.width, renderApp.height, false);
}
