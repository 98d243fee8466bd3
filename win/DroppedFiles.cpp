// Files dropped onto a window.
#include "DroppedFiles.h"

std::wstring DroppedFiles::Path(UINT index) const {
    if (!m_drop || index >= Count())
        return {};
    const UINT length = DragQueryFileW(m_drop, index, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    const UINT copied = DragQueryFileW(m_drop, index, path.data(), length + 1);
    path.resize(copied);
    return path;
}

void DroppedFiles::Release() {
    if (m_drop)
        DragFinish(m_drop);
    m_drop = nullptr;
}
