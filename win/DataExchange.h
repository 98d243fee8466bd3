// Data exchange between a dialog and its member objects: only the binding of a control object to its window.
#pragma once

#include "Wnd.h"

class CDataExchange {
public:
    explicit CDataExchange(CWnd* dialog) : m_dialog(dialog) {}
    CWnd* Dialog() const { return m_dialog; }

private:
    CWnd* m_dialog;
};

// Attaches the control object to the dialog's control with that id, once; later exchanges leave it as it is.
inline void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    if (!control.GetSafeHwnd())
        control.SubclassDlgItem(id, exchange->Dialog());
}
