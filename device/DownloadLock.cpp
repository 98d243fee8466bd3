// One download per machine: a named mutex held for the length of every run.
#include "DownloadLock.h"

namespace {
// In the global namespace, so that runs in other sessions (another user, a remote desktop) are seen too.
const wchar_t kLockName[] = L"Global\\CorvaneOstrelUpdateDownload";
} // namespace

DownloadLock::~DownloadLock() {
    Release();
}

DownloadLock& DownloadLock::operator=(DownloadLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_mutex = std::move(other.m_mutex);
    }
    return *this;
}

bool DownloadLock::TryTake() {
    if (IsHeld())
        return false;
    KernelHandle mutex(CreateMutexW(nullptr, FALSE, kLockName));
    if (!mutex.IsValid())
        return false;
    // An abandoned lock was held by a program that ended without releasing it: its run is over.
    const DWORD waited = WaitForSingleObject(mutex.Get(), 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
        return false;
    m_mutex = std::move(mutex);
    return true;
}

void DownloadLock::Release() {
    if (!IsHeld())
        return;
    ReleaseMutex(m_mutex.Get());
    m_mutex.Close();
}
