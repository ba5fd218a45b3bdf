#pragma once
// The editor's overlay (the HUD): lines of text drawn by the title's rasteriser into a canvas
// over the top of the window, uploaded when they change and blended over the back buffer
// after the final pass. When it is hidden nothing is recorded, so the presented pixels are
// exactly the presentation's.
#include <string>
#include <vector>

#include "app/presentation.h"
#include "gpu/frame_contexts.h"
#include "text/overlay_text.h"

inline constexpr uint32_t kHudLines = 5;

struct Hud {
  bool visible = false;
  OverlayText* text = nullptr;  // null: the rasteriser had no font (the HUD stays empty)
  GpuTexture* texture = nullptr;
  GpuBuffer* uploads[kFrameContextCount] = {};  // one per frame context, as constant blocks have
  FullscreenPass pass;
  DynamicArray<PassBinding> bindings;
  std::vector<std::string> shownLines;  // what the texture holds
};

// For a window of the given size (the canvas is as wide as the window).
void createHud(Hud& hud, uint32_t windowWidth, uint32_t windowHeight);
void destroyHud(Hud& hud);

// Characters that fit one line (to wrap long messages).
uint32_t hudCharactersPerLine(const Hud& hud);

// Records the overlay over the back buffer (in its render-target state, after the final
// pass), uploading the lines first when they changed. Nothing while hidden.
void recordHud(Hud& hud, Presentation& presentation, gfx::GraphicsCommandList* commandList,
               DescriptorAllocator& frameHeap, const std::vector<std::string>& lines);
