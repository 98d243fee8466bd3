// CDialog: the one dialog procedure, which stores the object at WM_INITDIALOG and hands it every message.
#include "Dialog.h"

#include "DataExchange.h"
#include "WinApp.h"

INT_PTR CDialog::DoModal() {
    HWND owner = m_parent ? m_parent->GetSafeHwnd() : nullptr;
    if (!owner) {
        CWnd* mainWnd = AfxGetMainWnd();
        if (mainWnd && mainWnd != this)
            owner = mainWnd->GetSafeHwnd();
    }
    // A Unicode dialog, so that its texts keep every character whatever the system's ANSI code page.
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), owner,
                                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::OnInitDialog() {
    CDataExchange exchange(this);
    DoDataExchange(&exchange);
    return TRUE;
}

bool CDialog::ProcessMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            result = 0;
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            result = 0;
            return true;
        }
    }
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        self->m_hWnd = hwnd;
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        return FALSE;
    }
    LRESULT result = 0;
    if (!self->Dispatch(message, wParam, lParam, result))
        return FALSE;
    // WM_QUERYDRAGICON returns its result from the dialog procedure itself; the rest through DWLP_MSGRESULT.
    if (message == WM_QUERYDRAGICON)
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}
