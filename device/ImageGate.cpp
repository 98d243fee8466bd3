// The image gate: the side files read whole and small, the bytes hashed once, the machine's policy in the registry.
#include "ImageGate.h"

#include <optional>
#include <utility>

#include <windows.h>

#include "AnsiText.h"
#include "Handle.h"
#include "ModulePath.h"
#include "Sha256.h"
#include "SideFile.h"

namespace {

const wchar_t kImageSumsSuffix[] = L".sha256";
const wchar_t kFolderSumsName[] = L"SHA256SUMS";
const wchar_t kSignatureSuffix[] = L".p7s";
const wchar_t kTrustedFolderName[] = L"trusted\\";
const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Corvane\\Ostrel update";
const wchar_t kRequireSignedValue[] = L"RequireSignedImages";

// As the file system compares names: ordinal, and ignoring case beyond ASCII too.
bool SameFileName(const std::string& a, const std::string& b) {
    const std::wstring wideA = Utf8ToWide(a);
    const std::wstring wideB = Utf8ToWide(b);
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

struct SideFile {
    std::wstring path;
    std::string bytes; // before `read`, which fills it as it is initialised
    SideFileRead read;

    explicit SideFile(std::wstring filePath) : path(std::move(filePath)), read(ReadSideFile(path, bytes)) {}
    std::optional<std::string> Text() const { return read == SideFileRead::Read ? std::optional(bytes) : std::nullopt; }
    bool Refuses() const { return read == SideFileRead::Unreadable || read == SideFileRead::TooLarge; }
};

using RegistryKey = UniqueAny<HKEY, &RegCloseKey>;

RegistryKey OpenRegistryKey(HKEY parent, const wchar_t* path, REGSAM access) {
    HKEY key = nullptr;
    return RegistryKey(RegOpenKeyExW(parent, path, 0, access, &key) == ERROR_SUCCESS ? key : nullptr);
}

} // namespace

std::wstring TrustedCertificateFolder() {
    const std::wstring folder = FolderOf(ModuleFileNameW());
    return folder.empty() ? std::wstring() : folder + kTrustedFolderName;
}

ImageVerdict JudgeImage(const std::wstring& imagePath, const std::uint8_t* image, std::size_t imageSize,
                        bool signatureRequired, const std::wstring& trustedFolder) {
    ImageVerdict verdict;
    const std::wstring folder = FolderOf(imagePath);
    const SideFile imageSums(imagePath + kImageSumsSuffix);
    const SideFile folderSums(folder + kFolderSumsName);
    const SideFile signature(imagePath + kSignatureSuffix);
    ImageRefusal unreadable = ImageRefusal::None;
    for (const SideFile* file : {&imageSums, &folderSums, &signature}) {
        if (file->Refuses() && unreadable == ImageRefusal::None) {
            unreadable =
                file == &signature ? ImageRefusal::SignatureFileUnreadable : ImageRefusal::ChecksumFileUnreadable;
            verdict.unreadableFile = file->path;
            verdict.unreadableTooLarge = file->read == SideFileRead::TooLarge;
        }
    }

    if (signature.read == SideFileRead::Read)
        verdict.signature = VerifyImageSignature(reinterpret_cast<const std::uint8_t*>(signature.bytes.data()),
                                                 signature.bytes.size(), image, imageSize, trustedFolder);
    // Verifying a signature hashes the image already; only without one is it hashed here.
    verdict.sha256 =
        verdict.signature.imageSha256.empty() ? Sha256Hex(image, imageSize) : verdict.signature.imageSha256;

    verdict.checksum = JudgeChecksums({imageSums.Text(), folderSums.Text()},
                                      WideToUtf8(imagePath.substr(folder.size())), verdict.sha256, SameFileName);
    const ChecksumSource source = verdict.checksum.source;
    if (source == ChecksumSource::ImageSums || source == ChecksumSource::Both)
        verdict.checksumFiles.push_back(imageSums.path);
    if (source == ChecksumSource::FolderSums || source == ChecksumSource::Both)
        verdict.checksumFiles.push_back(folderSums.path);

    if (unreadable != ImageRefusal::None)
        verdict.refusal = unreadable;
    else if (verdict.checksum.Refuses())
        verdict.refusal = ImageRefusal::ChecksumMismatch;
    else if (verdict.signature.state == SignatureState::Invalid)
        verdict.refusal = ImageRefusal::SignatureInvalid;
    else if (verdict.signature.state == SignatureState::Untrusted)
        verdict.refusal = ImageRefusal::SignerUntrusted;
    else if (verdict.signature.state == SignatureState::None && signatureRequired)
        verdict.refusal = ImageRefusal::UnsignedButRequired;
    return verdict;
}

bool MachineRequiresSignedImages() {
    // The 64-bit view, where the policy is set on 64-bit Windows, also from this 32-bit program.
    const RegistryKey key = OpenRegistryKey(HKEY_LOCAL_MACHINE, kPolicyKey, KEY_QUERY_VALUE | KEY_WOW64_64KEY);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    return key.IsValid() &&
           RegQueryValueExW(key.Get(), kRequireSignedValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof value && value != 0;
}

void AddVerdictFacts(ImageFacts& facts, const ImageVerdict& verdict) {
    if (!verdict.sha256.empty())
        facts.sha256 = verdict.sha256;
    switch (verdict.checksum.state) {
    case ChecksumState::None:
        facts.checksum = "none";
        break;
    case ChecksumState::Match:
        facts.checksum = "match";
        break;
    case ChecksumState::Mismatch:
    case ChecksumState::NoHash:
    case ChecksumState::Disagree:
        facts.checksum = "mismatch";
        break;
    }
    for (const std::wstring& file : verdict.checksumFiles)
        facts.checksumFiles += (facts.checksumFiles.empty() ? "" : " and ") + WideToUtf8(file);
    const char* const kSignatureStates[] = {"none", "valid", "invalid", "untrusted"};
    facts.signature = kSignatureStates[static_cast<int>(verdict.signature.state)];
    if (!verdict.signature.signer.empty())
        facts.signer = verdict.signature.signer;
}
