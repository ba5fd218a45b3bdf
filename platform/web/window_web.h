#pragma once
// What the web's graphics backend needs of the web's window (platform/web/window_web.cpp).
#include "platform/window.h"

// The CSS selector of the canvas the window draws into.
const char* windowCanvasSelector(const Window* window);
