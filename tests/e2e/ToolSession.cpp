// One end-to-end test's world: folder, emulator, tool.
#include "ToolSession.h"

#include "resource.h"

namespace {

const char kToolExe[] = "Corvane Ostrel update.exe";
const char kTextTable[] = "lang.ini";
const char kDriverLibrary[] = "TarselUSB.dll";

// The folder, its files and its folders; `folder` ends with a separator.
void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + name).c_str());
            else if (name != L"." && name != L"..")
                RemoveFolder(folder + name + L"\\");
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void RemoveFolder(const std::string& folder) {
    RemoveFolder(AnsiToWide(folder));
}

} // namespace

void ToolSession::SetUp() {
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    m_instance = ("e2e-" + std::to_string(GetCurrentProcessId()) + "-" + test).substr(0, 64);
    m_built = ProgramFolder();
    const std::string runs = m_built + "runs\\";
    m_folder = runs + m_instance + "\\";
    CreateDirectoryA(runs.c_str(), nullptr);
    RemoveFolder(m_folder);
    ASSERT_TRUE(CreateDirectoryA(m_folder.c_str(), nullptr)) << m_folder << ": error " << GetLastError();
    const std::string tool = m_built + "tool\\";
    ASSERT_TRUE(CopyFileA((tool + kToolExe).c_str(), PathOf(kToolExe).c_str(), FALSE)) << GetLastError();
    ASSERT_TRUE(CopyFileA((tool + kTextTable).c_str(), PathOf(kTextTable).c_str(), FALSE)) << GetLastError();
    ASSERT_TRUE(CopyFileA(BuiltFile(kDriverLibrary).c_str(), PathOf(kDriverLibrary).c_str(), FALSE)) << GetLastError();
}

void ToolSession::TearDown() {
    m_tool.reset();
    m_device.reset();
    // A failed test's folder stays for a look at its capture, log and images.
    if (!HasFailure())
        RemoveFolder(m_folder);
}

std::string ToolSession::PutImage(const std::string& name, const e2e::ImageLayout& layout) {
    return PutImage(name, e2e::MakeImage(layout));
}

std::string ToolSession::PutImage(const std::string& name, const std::string& bytes) {
    const std::string path = PathOf(name);
    EXPECT_TRUE(e2e::WriteWholeFile(path, bytes)) << path;
    return path;
}

bool ToolSession::StartDevice(const std::vector<std::string>& options) {
    std::vector<std::string> args{"--instance",         m_instance, "--capture",
                                  PathOf(kCaptureName), "--log",    PathOf(kLogName)};
    args.insert(args.end(), options.begin(), options.end());
    m_device = std::make_unique<EmulatorProcess>(args);
    const bool ready = !m_device->WaitForLine("ready").empty();
    EXPECT_TRUE(ready) << m_device->Output();
    return ready;
}

bool ToolSession::StopDevice() {
    std::string output;
    const bool stopped = RunEmulator({"--instance", m_instance, "--stop"}, output) == 0;
    EXPECT_TRUE(stopped) << output;
    return stopped;
}

bool ToolSession::StartTool() {
    return StartToolIn(AnsiToWide(m_folder));
}

std::wstring ToolSession::PutToolIn(const std::wstring& name) {
    const std::wstring folder = AnsiToWide(m_folder) + name + L"\\";
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << "error " << GetLastError();
    for (const char* file : {kToolExe, kTextTable, kDriverLibrary}) {
        EXPECT_TRUE(CopyFileW(AnsiToWide(PathOf(file)).c_str(), (folder + AnsiToWide(file)).c_str(), FALSE))
            << file << ": error " << GetLastError();
    }
    return folder;
}

bool ToolSession::StartToolIn(const std::wstring& folder) {
    m_tool = std::make_unique<e2e::ToolProcess>(folder + AnsiToWide(kToolExe), m_instance);
    if (!m_tool->Started()) {
        ADD_FAILURE() << m_tool->Error();
        return false;
    }
    m_main = e2e::WaitForMainWindow(m_tool->Id());
    EXPECT_NE(m_main, nullptr) << "no main window";
    return m_main != nullptr;
}

std::string ToolSession::ToolPath() const {
    return PathOf(kToolExe);
}

std::string ToolSession::Text(const char* section, const char* key) const {
    return e2e::TextTableEntry(PathOf(kTextTable), section, key);
}

bool ToolSession::WaitForControlText(int id, const std::string& text, DWORD timeoutMs) const {
    return e2e::WaitUntil([&] { return Control(id) == text; }, timeoutMs);
}

HWND ToolSession::OpenFileDialog() {
    if (!e2e::PostClick(m_main, IDC_DOWNLOAD))
        return nullptr;
    return e2e::WaitForFileDialog(m_tool->Id());
}

bool ToolSession::StartDownload(const std::string& imagePath) {
    HWND dialog = OpenFileDialog();
    EXPECT_NE(dialog, nullptr) << "no open-file dialog";
    const bool chosen = dialog && e2e::ChooseFile(dialog, imagePath);
    EXPECT_TRUE(chosen) << "cannot choose " << imagePath;
    return chosen;
}

bool ToolSession::StartDownload(const std::wstring& imagePath) {
    HWND dialog = OpenFileDialog();
    EXPECT_NE(dialog, nullptr) << "no open-file dialog";
    const bool chosen = dialog && e2e::ChooseFile(dialog, imagePath);
    EXPECT_TRUE(chosen) << "cannot choose the image";
    return chosen;
}

bool ToolSession::WaitForRunEnd(int nthDownload) {
    std::vector<HWND> boxes;
    const bool served = e2e::WaitUntil(
        [&] {
            boxes = e2e::MessageBoxes(m_tool->Id());
            return !m_device->WaitForLine("download", nthDownload, 0).empty() || !boxes.empty();
        },
        30000);
    if (!boxes.empty()) {
        ADD_FAILURE() << "the tool shows a message instead: " << e2e::MessageBoxText(boxes.front());
        return false;
    }
    EXPECT_TRUE(served) << m_device->Output();
    const bool ended = served && e2e::WaitUntil([&] {
                           return e2e::IsControlEnabled(m_main, IDC_DOWNLOAD) && !Control(IDC_RESULT).empty();
                       });
    EXPECT_TRUE(ended) << "the window did not show the end of the run";
    return ended;
}

HWND ToolSession::WaitForBox(DWORD timeoutMs) {
    return e2e::WaitForMessageBox(m_tool->Id(), timeoutMs);
}

bool ToolSession::Answer(HWND box, int buttonId) {
    return e2e::PostClick(box, buttonId) && e2e::WaitUntil([box] { return !IsWindowVisible(box); });
}
