// TaskbarButton: a run on the main window's taskbar button, and the system's taskbar, flash and sound calls.
#include "TaskbarButton.h"

#include <algorithm>
#include <utility>

#include <shobjidl.h>

#include "Com.h"

namespace {
class SystemTaskbarShell final : public TaskbarShell {
public:
    void ButtonCreated(HWND) override {
        // A list made for an Explorer that has since restarted speaks to no taskbar.
        m_list.Reset();
        ComRef<ITaskbarList3> list;
        if (SUCCEEDED(CoCreateInstance(__uuidof(TaskbarList), nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskbarList3),
                                       list.Receive())) &&
            SUCCEEDED(list->HrInit()))
            m_list = std::move(list);
    }
    void SetProgressValue(HWND window, ULONGLONG done, ULONGLONG total) override {
        if (m_list)
            m_list->SetProgressValue(window, done, total);
    }
    void SetProgressState(HWND window, TaskbarProgress state) override {
        const TBPFLAG flags[] = {TBPF_NOPROGRESS, TBPF_NORMAL, TBPF_ERROR};
        if (m_list)
            m_list->SetProgressState(window, flags[static_cast<int>(state)]);
    }
    bool IsForeground(HWND window) override { return GetForegroundWindow() == window; }
    void Flash(HWND window) override {
        FLASHWINFO flash{sizeof flash, window, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
        FlashWindowEx(&flash);
    }
    void Beep(UINT type) override { MessageBeep(type); }

private:
    ComRef<ITaskbarList3> m_list;
};
} // namespace

std::unique_ptr<TaskbarShell> MakeSystemTaskbarShell() {
    return std::make_unique<SystemTaskbarShell>();
}

TaskbarButton::TaskbarButton(std::unique_ptr<TaskbarShell> shell) : m_shell(std::move(shell)) {}

void TaskbarButton::Attach(HWND window) {
    m_window = window;
    m_buttonCreated = RegisterWindowMessageW(L"TaskbarButtonCreated");
    // Explorer runs without elevation, and the system keeps its messages from an elevated window unless let through.
    if (m_buttonCreated)
        ChangeWindowMessageFilterEx(window, m_buttonCreated, MSGFLT_ALLOW, nullptr);
}

void TaskbarButton::OnMessage(UINT message, WPARAM wParam) {
    if (!m_window)
        return;
    if (message == m_buttonCreated && m_buttonCreated != 0) {
        // A button made during a run, or again after Explorer restarted, shows what the old one showed.
        m_shell->ButtonCreated(m_window);
        if (m_shown != Shown::Nothing)
            Show();
    } else if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && m_shown == Shown::Error) {
        m_shown = Shown::Nothing;
        Show();
    }
}

void TaskbarButton::RunStarted() {
    m_shown = Shown::Progress;
    m_done = 0;
    m_total = 100;
    Show();
}

void TaskbarButton::RunProgress(int position, int upper) {
    if (m_shown != Shown::Progress || upper <= 0)
        return;
    // A position beyond the bounds shows as the nearest bound, as the taskbar takes no other.
    const auto done = static_cast<ULONGLONG>(std::clamp(position, 0, upper));
    const auto total = static_cast<ULONGLONG>(upper);
    if (done == m_done && total == m_total)
        return;
    m_done = done;
    m_total = total;
    m_shell->SetProgressValue(m_window, m_done, m_total);
}

void TaskbarButton::RunEnded(bool succeeded) {
    m_shown = succeeded ? Shown::Nothing : Shown::Error;
    Show();
    const bool foreground = m_shell->IsForeground(m_window);
    if (!foreground)
        m_shell->Flash(m_window);
    // A success in front of the user needs no sound: the result line says it where they look.
    if (!succeeded || !foreground)
        m_shell->Beep(succeeded ? MB_OK : MB_ICONHAND);
}

void TaskbarButton::Show() {
    switch (m_shown) {
    case Shown::Nothing:
        m_shell->SetProgressState(m_window, TaskbarProgress::None);
        break;
    case Shown::Progress:
        m_shell->SetProgressState(m_window, TaskbarProgress::Normal);
        m_shell->SetProgressValue(m_window, m_done, m_total);
        break;
    case Shown::Error:
        // The bar is back at 0 after a run, and an error at the point where the run stopped may be too short to
        // see: the whole button shows it.
        m_shell->SetProgressValue(m_window, m_total, m_total);
        m_shell->SetProgressState(m_window, TaskbarProgress::Error);
        break;
    }
}
