// Messages the transfer worker posts to the main window; the UI thread alone touches the window.
#pragma once

#include <windows.h>

// wParam: the new progress position (0 to 100).
inline constexpr UINT WM_APP_TRANSFER_PROGRESS = WM_APP + 1;
// wParam: the TransferOutcome. Posted once, after the image is released and the pipe closed.
inline constexpr UINT WM_APP_TRANSFER_END = WM_APP + 2;
