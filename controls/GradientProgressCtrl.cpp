// CGradientProgressCtrl: stored state, and the range and position forwarded to the native control underneath.
#include "GradientProgressCtrl.h"

#include <commctrl.h>

CGradientProgressCtrl::CGradientProgressCtrl() : m_backgroundColor(GetSysColor(COLOR_BTNFACE)) {}

int CGradientProgressCtrl::SetPos(int position) {
    m_position = position;
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position), 0));
}

void CGradientProgressCtrl::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
    m_position = lower;
    // The native control takes 16-bit bounds; painting uses the stored 32-bit ones.
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(static_cast<WORD>(lower), static_cast<WORD>(upper)));
}
