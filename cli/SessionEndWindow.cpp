// The flasher's hidden window: the end of the session refused during a transfer, and the transfer stopped and logged
// when the session ends all the same.
#include "SessionEndWindow.h"

#include "ConsoleInterrupt.h"

namespace {

constexpr wchar_t kClassName[] = L"OstrelFlashSession";
// Windows names the program on its shut-down screen by this text.
constexpr wchar_t kTitle[] = L"ostrel-flash";
// The window's text of the same moment, in English as the flasher speaks.
constexpr wchar_t kShutdownReason[] =
    L"A firmware download is running; shutting down now leaves the device without a complete image.";
// wParam: TRUE when a transfer has started, FALSE when it has ended. The reason is the window's, and only the
// window's thread may give it.
constexpr UINT WM_APP_TRANSFER_STATE = WM_APP + 1;

constexpr DWORD kStartMs = 5000;
constexpr DWORD kEndMs = 2000;

} // namespace

SessionEndWindow::~SessionEndWindow() {
    if (const HWND window = m_window)
        PostMessageW(window, WM_CLOSE, 0, 0);
    if (m_thread.IsValid())
        WaitForSingleObject(m_thread.Get(), kEndMs);
}

bool SessionEndWindow::Start() {
    m_ready = KernelHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_thread = KernelHandle(CreateThread(nullptr, 0, &SessionEndWindow::ThreadMain, this, 0, nullptr));
    if (!m_ready.IsValid() || !m_thread.IsValid())
        return false;
    const HANDLE waits[] = {m_ready.Get(), m_thread.Get()};
    WaitForMultipleObjects(2, waits, FALSE, kStartMs);
    return m_window != nullptr;
}

void SessionEndWindow::TransferStarted() {
    // Set before the message is posted: the system's question may come before the message is handled.
    m_transferring = true;
    if (const HWND window = m_window)
        PostMessageW(window, WM_APP_TRANSFER_STATE, TRUE, 0);
}

void SessionEndWindow::TransferEnded() {
    m_transferring = false;
    if (const HWND window = m_window)
        PostMessageW(window, WM_APP_TRANSFER_STATE, FALSE, 0);
}

DWORD WINAPI SessionEndWindow::ThreadMain(void* param) {
    auto* self = static_cast<SessionEndWindow*>(param);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &SessionEndWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    // Top-level and never shown: a message-only window is not asked about the end of the session.
    self->m_window =
        CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, self);
    SetEvent(self->m_ready.Get());
    if (!self->m_window)
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

LRESULT CALLBACK SessionEndWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    const auto* self = reinterpret_cast<const SessionEndWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_QUERYENDSESSION:
        // Logging off in the middle of a transfer would leave the device without a complete image.
        return self && self->m_transferring ? FALSE : TRUE;
    case WM_ENDSESSION:
        // The session ends all the same; the process may be ended as soon as this returns.
        if (wParam)
            ConsoleInterrupt::EndProcessOnceDone();
        return 0;
    case WM_APP_TRANSFER_STATE:
        if (wParam)
            ShutdownBlockReasonCreate(window, kShutdownReason);
        else
            ShutdownBlockReasonDestroy(window);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
