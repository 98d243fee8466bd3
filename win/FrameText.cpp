// The frame (group box) that encloses a dialog control.
#include "FrameText.h"

#include <iterator>

namespace {
bool Holds(const RECT& outer, const RECT& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

bool IsGroupBox(HWND window) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    return lstrcmpiA(className, "Button") == 0 && (GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}
} // namespace

std::wstring FrameTextAround(HWND control, std::wstring otherwise) {
    RECT target{};
    if (!GetWindowRect(control, &target))
        return otherwise;
    HWND frame = nullptr;
    RECT frameRect{};
    for (HWND sibling = GetWindow(control, GW_HWNDFIRST); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        RECT rect{};
        if (sibling == control || !IsGroupBox(sibling) || !GetWindowRect(sibling, &rect) || !Holds(rect, target))
            continue;
        if (!frame || Holds(frameRect, rect)) {
            frame = sibling;
            frameRect = rect;
        }
    }
    wchar_t text[260] = L"";
    if (frame)
        GetWindowTextW(frame, text, static_cast<int>(std::size(text)));
    return *text ? std::wstring(text) : otherwise;
}
