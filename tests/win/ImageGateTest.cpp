// The image gate on the bytes in memory: signatures made with openssl against the trusted folder, checksum files
// named as Windows compares names, side files that cannot be read, and the machine's policy in the registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "Handle.h"
#include "ImageGate.h"
#include "Sha256.h"
#include "TestText.h"

namespace {

// Made by make-signing-fixtures.sh before these tests run.
const std::wstring kFixtures = AnsiToWide(ProgramFolder()) + L"signing\\";
const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Corvane\\Ostrel update";

std::string ReadAll(const std::wstring& path) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes(GetFileSize(file.Get(), nullptr), '\0');
    DWORD read = 0;
    ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// A folder of its own for the image and whatever lies beside it; removed with everything in it.
class ImageFolder {
public:
    ImageFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_path = std::wstring(temp) + L"gate-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~ImageFolder() {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((m_path + L"*").c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
            const std::wstring path = m_path + found.cFileName;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW(path.c_str());
            else if (found.cFileName[0] != L'.')
                RemoveDirectoryW(path.c_str());
        }
        FindClose(search);
        RemoveDirectoryW(m_path.c_str());
    }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

ImageVerdict Judge(const std::wstring& path, const std::string& bytes, bool required = false) {
    return JudgeImage(path, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), required,
                      kFixtures + L"trusted");
}

std::string Sha256Of(const std::string& bytes) {
    return Sha256Hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

TEST(ImageGate, JudgesTheSignatureOnTheBytesInMemoryAgainstTheTrustedFolder) {
    const std::string image = ReadAll(kFixtures + L"image.hdr");
    ASSERT_EQ(image.size(), 70000u) << "no fixtures: run through ctest, which makes them first";
    std::string flipped = image;
    flipped[50000] ^= 0x01;
    const struct {
        const char* what;
        const wchar_t* signer; // the .p7s beside the image; none when null
        const std::string& bytes;
        bool required;
        SignatureState state;
        ImageRefusal refusal;
        const char* subject;
    } cases[] = {
        {"trusted vendor", L"vendor", image, false, SignatureState::Valid, ImageRefusal::None,
         "CN=Vendor, O=Ostrel tests"},
        {"trusted vendor, required", L"vendor", image, true, SignatureState::Valid, ImageRefusal::None,
         "CN=Vendor, O=Ostrel tests"},
        {"a byte changed in memory", L"vendor", flipped, false, SignatureState::Invalid, ImageRefusal::SignatureInvalid,
         ""},
        {"issued by the trusted CA", L"leaf", image, false, SignatureState::Valid, ImageRefusal::None,
         "CN=Leaf, O=Ostrel tests"},
        {"a stranger", L"stranger", image, false, SignatureState::Untrusted, ImageRefusal::SignerUntrusted,
         "CN=Stranger, O=Ostrel tests"},
        {"the vendor's name and serial, another key", L"impostor", image, true, SignatureState::Untrusted,
         ImageRefusal::SignerUntrusted, "CN=Vendor, O=Ostrel tests"},
        {"unsigned", nullptr, image, false, SignatureState::None, ImageRefusal::None, ""},
        {"unsigned, required", nullptr, image, true, SignatureState::None, ImageRefusal::UnsignedButRequired, ""},
    };
    for (const auto& c : cases) {
        const ImageFolder folder;
        const std::wstring path = folder.Path() + L"fw.hdr";
        WriteAll(path, image);
        if (c.signer)
            WriteAll(path + L".p7s", ReadAll(kFixtures + c.signer + L".p7s"));
        const ImageVerdict verdict = Judge(path, c.bytes, c.required);
        EXPECT_EQ(verdict.signature.state, c.state) << c.what;
        EXPECT_EQ(verdict.refusal, c.refusal) << c.what;
        EXPECT_EQ(verdict.signature.signer, c.subject) << c.what;
        // The digest the signature's check computed serves the log and the checksum files: it must be these bytes'.
        EXPECT_EQ(verdict.sha256, Sha256Of(c.bytes)) << c.what;
    }
}

TEST(ImageGate, ChecksumFilesBesideTheImageAndSideFilesThatCannotBeRead) {
    const std::string image = ReadAll(kFixtures + L"image.hdr");
    const std::string hash = Sha256Of(image);
    const std::wstring name = L"Прошивка-Ä.hdr";
    const struct {
        const char* what;
        const wchar_t* file; // beside the image; "<image>" stands for the image's name
        std::string contents;
        bool folder; // a folder of that name rather than a file
        ImageRefusal refusal;
        ChecksumState state;
    } cases[] = {
        {"SHA256SUMS naming the image in other letter cases", L"SHA256SUMS", hash + " *прошивка-ä.HDR\n", false,
         ImageRefusal::None, ChecksumState::Match},
        {"another hash in the .sha256 file", L"<image>.sha256", std::string(64, 'a'), false,
         ImageRefusal::ChecksumMismatch, ChecksumState::Mismatch},
        {"a .sha256 folder", L"<image>.sha256", "", true, ImageRefusal::SideFileUnreadable, ChecksumState::None},
        {"a SHA256SUMS of more than 1 MiB", L"SHA256SUMS", std::string(1024 * 1024 + 1, '#'), false,
         ImageRefusal::SideFileUnreadable, ChecksumState::None},
        {"a .p7s that is no signature", L"<image>.p7s", "not a signature", false, ImageRefusal::SignatureInvalid,
         ChecksumState::None},
    };
    for (const auto& c : cases) {
        const ImageFolder folder;
        const std::wstring path = folder.Path() + name;
        WriteAll(path, image);
        std::wstring side = c.file;
        if (side.rfind(L"<image>", 0) == 0)
            side = name + side.substr(7);
        if (c.folder)
            CreateDirectoryW((folder.Path() + side).c_str(), nullptr);
        else
            WriteAll(folder.Path() + side, c.contents);
        const ImageVerdict verdict = Judge(path, image);
        EXPECT_EQ(verdict.refusal, c.refusal) << c.what;
        EXPECT_EQ(verdict.checksum.state, c.state) << c.what;
        const std::wstring sidePath = folder.Path() + side;
        EXPECT_EQ(verdict.checksumFiles,
                  c.state == ChecksumState::None ? std::vector<std::wstring>{} : std::vector<std::wstring>{sidePath})
            << c.what;
        EXPECT_EQ(verdict.unreadableFile, c.refusal == ImageRefusal::SideFileUnreadable ? sidePath : L"") << c.what;
    }
}

TEST(ImageGate, TheMachinePolicyIsReadFromThe64BitView) {
    EXPECT_FALSE(MachineRequiresSignedImages());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    for (const DWORD value : {1u, 0u}) {
        RegSetValueExW(key, L"RequireSignedImages", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        EXPECT_EQ(MachineRequiresSignedImages(), value == 1);
    }
    RegCloseKey(key);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, KEY_WOW64_64KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Corvane", KEY_WOW64_64KEY, 0);
    EXPECT_FALSE(MachineRequiresSignedImages());
}
