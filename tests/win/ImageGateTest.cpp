// The image gate on the bytes in memory: checksum files named as Windows compares names, side files that cannot be
// read, and the machine's policy in the registry. Signatures are judged through the console flasher (FlashTest).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "Handle.h"
#include "ImageGate.h"
#include "RunLog.h"
#include "ScopedMachinePolicy.h"
#include "Sha256.h"
#include "TestText.h"

namespace {

// Made by make-signing-fixtures.sh before these tests run.
const std::string kFixtures = ProgramFolder() + "signing\\";

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Writes the image into a folder of its own among the fixtures (which go with the next run's); its path.
std::wstring PutImage(const std::string& folder, const std::wstring& name, const std::string& image) {
    CreateDirectoryW(AnsiToWide(kFixtures + folder).c_str(), nullptr);
    WriteAll(AnsiToWide(kFixtures + folder + "\\") + name, image);
    return AnsiToWide(kFixtures + folder + "\\") + name;
}

// Registry text: UTF-16 with its terminating zero.
std::string Utf16Z(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

ImageVerdict Judge(const std::wstring& path, const std::string& bytes) {
    return JudgeImage(path, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), false,
                      AnsiToWide(kFixtures) + L"trusted");
}

} // namespace

TEST(ImageGate, ChecksumFilesBesideTheImageAndSideFilesThatCannotBeRead) {
    const std::string image = ReadAll(kFixtures + "image.hdr");
    const std::string hash = Sha256Hex(reinterpret_cast<const std::uint8_t*>(image.data()), image.size());
    const struct {
        const wchar_t* file;                 // beside the image Прошивка-Ä.hdr
        std::optional<std::string> contents; // none: a folder of that name
        ImageRefusal refusal;
        ChecksumState state;
    } cases[] = {
        {L"SHA256SUMS", hash + " *прошивка-ä.HDR\n", ImageRefusal::None, ChecksumState::Match},
        {L"Прошивка-Ä.hdr.sha256", std::string(64, 'a'), ImageRefusal::ChecksumMismatch, ChecksumState::Mismatch},
        {L"Прошивка-Ä.hdr.sha256", std::nullopt, ImageRefusal::ChecksumFileUnreadable, ChecksumState::None},
        {L"SHA256SUMS", std::string(1024 * 1024 + 1, '#'), ImageRefusal::ChecksumFileUnreadable, ChecksumState::None},
        {L"Прошивка-Ä.hdr.p7s", std::nullopt, ImageRefusal::SignatureFileUnreadable, ChecksumState::None},
    };
    for (const auto& c : cases) {
        const std::wstring path = PutImage("checked-" + std::to_string(&c - cases), L"Прошивка-Ä.hdr", image);
        const std::wstring side = path.substr(0, path.rfind(L'\\') + 1) + c.file;
        if (c.contents)
            WriteAll(side, *c.contents);
        else
            CreateDirectoryW(side.c_str(), nullptr);
        const ImageVerdict verdict = Judge(path, image);
        EXPECT_EQ(verdict.refusal, c.refusal) << Utf8(c.file);
        EXPECT_EQ(verdict.checksum.state, c.state) << Utf8(c.file);
        EXPECT_EQ(verdict.checksumFiles,
                  c.state == ChecksumState::None ? std::vector<std::wstring>{} : std::vector<std::wstring>{side});
        const bool unreadable =
            c.refusal == ImageRefusal::ChecksumFileUnreadable || c.refusal == ImageRefusal::SignatureFileUnreadable;
        EXPECT_EQ(verdict.unreadableFile, unreadable ? side : L"");
    }
}

TEST(ImageGate, TheMachinePolicyIsReadFromThe64BitView) {
    for (const DWORD value : {1u, 0u}) {
        const ScopedMachinePolicy policy(L"RequireSignedImages", value);
        EXPECT_EQ(MachineRequiresSignedImages(), value == 1);
    }
    EXPECT_FALSE(MachineRequiresSignedImages());
}

TEST(ImageGate, APolicyValueOfAnyKindButZeroRequiresSignaturesAndAFolderIsExpanded) {
    const struct {
        DWORD type;
        std::string bytes;
        bool required;
    } cases[] = {{REG_SZ, Utf16Z(L"1"), true},
                 {REG_SZ, Utf16Z(L"true"), true},
                 {REG_SZ, Utf16Z(L""), true},
                 {REG_QWORD, std::string(8, '\0'), true},
                 {REG_BINARY, std::string(4, '\0'), true},
                 {REG_SZ, Utf16Z(L"0"), false},
                 {REG_EXPAND_SZ, Utf16Z(L"0"), false}};
    for (const auto& c : cases) {
        const ScopedMachinePolicy policy(L"RequireSignedImages", c.type, c.bytes);
        EXPECT_EQ(MachineRequiresSignedImages(), c.required) << c.type << " " << &c - cases;
    }
    const ScopedMachinePolicy folder(L"LogFolder", REG_EXPAND_SZ, Utf16Z(L"%TEMP%\\station logs\\"));
    wchar_t temp[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    ASSERT_GT(length, 0u);
    const DefaultLog log = DefaultRunLog(false);
    EXPECT_TRUE(log.fromPolicy);
    EXPECT_EQ(log.path.rfind(std::wstring(temp, length) + L"\\station logs\\", 0), 0u) << Utf8(log.path);
}
