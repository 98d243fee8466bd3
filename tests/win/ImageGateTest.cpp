// The image gate on the bytes in memory: signatures made with openssl against the trusted folder, checksum files
// named as Windows compares names, side files that cannot be read, and the machine's policy in the registry.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "Handle.h"
#include "ImageGate.h"
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

ImageVerdict Judge(const std::wstring& path, const std::string& bytes, bool required = false) {
    return JudgeImage(path, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), required,
                      AnsiToWide(kFixtures) + L"trusted");
}

} // namespace

TEST(ImageGate, JudgesTheSignatureOnTheBytesInMemoryAgainstTheTrustedFolder) {
    const std::string image = ReadAll(kFixtures + "image.hdr");
    ASSERT_EQ(image.size(), 70000u) << "no fixtures: run through ctest, which makes them first";
    std::string changed = image;
    changed[50000] ^= 0x01;
    using S = SignatureState;
    using R = ImageRefusal;
    const struct {
        const char* signer; // whose .p7s lies beside the image; none when empty
        const std::string& bytes;
        bool required;
        S state;
        R refusal;
        const char* subject;
    } cases[] = {
        {"vendor", image, true, S::Valid, R::None, "CN=Vendor, O=Ostrel tests"},
        {"vendor", changed, false, S::Invalid, R::SignatureInvalid, ""},
        {"leaf", image, false, S::Valid, R::None, "CN=Leaf, O=Ostrel tests"}, // issued by the trusted CA
        {"stranger", image, false, S::Untrusted, R::SignerUntrusted, "CN=Stranger, O=Ostrel tests"},
        {"impostor", image, true, S::Untrusted, R::SignerUntrusted, "CN=Vendor, O=Ostrel tests"}, // another key
        {"", image, false, S::None, R::None, ""},
        {"", image, true, S::None, R::UnsignedButRequired, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        const std::wstring path = PutImage("signed-" + std::to_string(&c - cases), L"fw.hdr", image);
        if (*c.signer)
            WriteAll(path + L".p7s", ReadAll(kFixtures + c.signer + ".p7s"));
        const ImageVerdict verdict = Judge(path, c.bytes, c.required);
        EXPECT_EQ(verdict.signature.state, c.state);
        EXPECT_EQ(verdict.refusal, c.refusal);
        EXPECT_EQ(verdict.signature.signer, c.subject);
        // The digest the signature's check computed serves the log and the checksum files: it must be these bytes'.
        EXPECT_EQ(verdict.sha256, Sha256Hex(reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size()));
    }
}

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
        {L"Прошивка-Ä.hdr.sha256", std::nullopt, ImageRefusal::SideFileUnreadable, ChecksumState::None},
        {L"SHA256SUMS", std::string(1024 * 1024 + 1, '#'), ImageRefusal::SideFileUnreadable, ChecksumState::None},
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
        EXPECT_EQ(verdict.unreadableFile, c.refusal == ImageRefusal::SideFileUnreadable ? side : L"");
    }
}

TEST(ImageGate, TheMachinePolicyIsReadFromThe64BitView) {
    const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Corvane\\Ostrel update";
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
