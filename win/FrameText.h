// The frame (group box) that encloses a dialog control, by which people and screen readers group controls.
#pragma once

#include <string>

#include <windows.h>

// The text of the innermost group box among the control's siblings whose rectangle holds the control's; `otherwise`
// when no frame holds it or its frame has no text.
std::wstring FrameTextAround(HWND control, std::wstring otherwise);
