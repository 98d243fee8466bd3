// Mirror files through a temporary name and a rename; images checked by size and digest.
#include "FirmwareMirror.h"

#include "AnsiText.h"

namespace {

void CreateFolders(const std::wstring& folder) {
    if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return;
    std::wstring parent = folder;
    while (!parent.empty() && (parent.back() == L'\\' || parent.back() == L'/'))
        parent.pop_back();
    const std::size_t separator = parent.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator < 3)
        return;
    CreateFolders(parent.substr(0, separator + 1));
    CreateDirectoryW(folder.c_str(), nullptr);
}

bool SizeOf(const std::wstring& path, std::uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

} // namespace

MirrorFile::MirrorFile(const std::wstring& mirror, const std::wstring& name)
    : m_path(mirror + name),
      // Named for this process, so that two programs filling one mirror never write into each other's file.
      m_temporary(mirror + L"~" + name + L"." + std::to_wstring(GetCurrentProcessId()) + L".partial") {
    CreateFolders(mirror);
    m_file = FileHandle(CreateFileW(m_temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

MirrorFile::~MirrorFile() {
    if (m_file.IsValid()) {
        m_file.Close();
        DeleteFileW(m_temporary.c_str());
    }
}

bool MirrorFile::Take(const std::uint8_t* data, std::size_t size) {
    DWORD written = 0;
    m_hash.Add(data, size);
    return m_file.IsValid() && size <= MAXDWORD &&
           WriteFile(m_file.Get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

bool MirrorFile::Commit() {
    if (!m_file.IsValid())
        return false;
    // Not flushed to the disk first (that would double the cost of a fetch): a file that a power cut leaves damaged
    // under its name is found so by the next use, which checks every image's size and SHA-256 before it is taken.
    m_file.Close();
    if (MoveFileExW(m_temporary.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileW(m_temporary.c_str());
    return false;
}

bool MirrorHasFile(const std::wstring& mirror, const CatalogEntry& entry) {
    std::uint64_t size = 0;
    return SizeOf(mirror + Utf8ToWide(entry.fileName), size) && size == entry.size;
}

bool MirrorHolds(const std::wstring& mirror, const CatalogEntry& entry) {
    if (!MirrorHasFile(mirror, entry))
        return false;
    // Read as a fetch reads, hashing as it goes.
    class HashSink : public FetchSink {
    public:
        bool Take(const std::uint8_t* data, std::size_t size) override { return hash.Add(data, size); }
        Sha256Stream hash;
    } sink;
    const FetchResult read = FetchFile(mirror + Utf8ToWide(entry.fileName), entry.size, sink);
    return read.status == FetchStatus::Ok && read.bytes == entry.size && sink.hash.Finish() == entry.sha256;
}
