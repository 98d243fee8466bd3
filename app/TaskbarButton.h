// TaskbarButton: what the main window's taskbar button shows of a run, and the call for attention when a run ends.
#pragma once

#include <memory>

#include <windows.h>

// The states of the button's progress indicator that the tool uses (TBPF_NOPROGRESS, TBPF_NORMAL, TBPF_ERROR).
enum class TaskbarProgress { None, Normal, Error };

// The system calls behind the taskbar button and the call for attention. The tool uses the system's; tests give a
// recorder.
class TaskbarShell {
public:
    virtual ~TaskbarShell() = default;
    // The taskbar has made the window's button (again, after Explorer restarted): the progress calls work from now.
    virtual void ButtonCreated(HWND window) = 0;
    // ITaskbarList3::SetProgressValue and SetProgressState.
    virtual void SetProgressValue(HWND window, ULONGLONG done, ULONGLONG total) = 0;
    virtual void SetProgressState(HWND window, TaskbarProgress state) = 0;
    virtual bool IsForeground(HWND window) = 0;
    // Flashes the taskbar button until the window comes to the foreground.
    virtual void Flash(HWND window) = 0;
    // MessageBeep: the system's sound for MB_OK or MB_ICONHAND.
    virtual void Beep(UINT type) = 0;
};

// The system's calls: ITaskbarList3 once the button exists, released with the object; FlashWindowEx; MessageBeep.
// Where the taskbar offers no ITaskbarList3 the progress calls do nothing.
std::unique_ptr<TaskbarShell> MakeSystemTaskbarShell();

// Follows a run of the main window on its taskbar button: the per cent of the bar during the run, nothing after a
// success, the error state after a failure until the window is next activated. At the end of a run a window in
// the background flashes its button, and the system's sound for the result plays unless a run succeeded in front
// of the user.
class TaskbarButton {
public:
    explicit TaskbarButton(std::unique_ptr<TaskbarShell> shell = MakeSystemTaskbarShell());

    // The window whose button this is. An elevated tool must let the taskbar's message through to it.
    void Attach(HWND window);
    // Every message of the window: the taskbar's TaskbarButtonCreated, and WM_ACTIVATE, which ends the error state.
    // Consumes none.
    void OnMessage(UINT message, WPARAM wParam);
    void RunStarted();
    // The bar's position and upper bound, as the bar shows them.
    void RunProgress(int position, int upper);
    void RunEnded(bool succeeded);

private:
    enum class Shown { Nothing, Progress, Error };
    void Show();

    std::unique_ptr<TaskbarShell> m_shell;
    HWND m_window = nullptr;
    UINT m_buttonCreated = 0;
    Shown m_shown = Shown::Nothing;
    ULONGLONG m_done = 0;
    ULONGLONG m_total = 100;
};
