// The gradient bar as screen readers see it: an IAccessible of its own for the bar's client area.
#pragma once

#include <string>

#include <windows.h>

// The answer to WM_GETOBJECT for the bar's client area: a progress bar of that name whose value is the per cent it
// shows, read through PBM_GETPOS and PBM_GETRANGE; handed over with LresultFromObject. 0 when oleacc.dll or the
// calling thread's COM cannot be used: the default handling answers then.
LRESULT AnswerProgressAccessible(HWND bar, WPARAM wParam, const std::wstring& name);
