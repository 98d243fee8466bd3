// The window's refresh of the firmware mirror at start, on a thread of its own, and what it found: the channel's
// newest image, ready in the mirror and not yet written on this PC.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <windows.h>

// Posted to the window when the refresh found an image to offer; lParam unused. The window then asks Take().
inline constexpr UINT WM_APP_FIRMWARE_READY = WM_APP + 3;

class CFirmwareNotice {
public:
    struct Ready {
        std::string version;
        std::string date; // as the image info line writes dates
    };

    // Reads the catalog's settings; when a catalog is configured (and not turned off), starts the refresh. Nothing
    // the refresh meets (offline, a refused catalog) is ever shown.
    void Start(HWND window);
    // The mirror folder, when a catalog is configured and the folder exists; else empty.
    const std::wstring& MirrorFolder() const { return m_mirror; }
    // The image found, once the window has been told; nothing before, or after it was taken.
    std::optional<Ready> Take();

    struct Shared;

private:
    std::wstring m_mirror;
    std::shared_ptr<Shared> m_shared;
};
