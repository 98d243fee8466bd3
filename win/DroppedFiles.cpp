// Files dropped onto a window, through shell32 from the system folder.
#include "DroppedFiles.h"

#include "SystemLibrary.h"

namespace {

UINT QueryFile(HDROP drop, UINT index, wchar_t* path, UINT size) {
    static const auto query = SYSTEM_FUNCTION(L"shell32.dll", DragQueryFileW);
    return query ? query(drop, index, path, size) : 0;
}

} // namespace

UINT DroppedFiles::Count() const {
    return m_drop ? QueryFile(m_drop, 0xFFFFFFFF, nullptr, 0) : 0;
}

std::wstring DroppedFiles::Path(UINT index) const {
    if (!m_drop || index >= Count())
        return {};
    const UINT length = QueryFile(m_drop, index, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    const UINT copied = QueryFile(m_drop, index, path.data(), length + 1);
    path.resize(copied);
    return path;
}

void DroppedFiles::Release() {
    static const auto finish = SYSTEM_FUNCTION(L"shell32.dll", DragFinish);
    if (m_drop && finish)
        finish(m_drop);
    m_drop = nullptr;
}

void AcceptDroppedFiles(HWND window) {
    static const auto accept = SYSTEM_FUNCTION(L"shell32.dll", DragAcceptFiles);
    if (accept)
        accept(window, TRUE);
}
