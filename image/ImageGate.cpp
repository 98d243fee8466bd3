// The image gate: the side files read whole and small, the bytes hashed once, the machine's policy in the registry.
#include "ImageGate.h"

#include <optional>
#include <utility>

#include <windows.h>

#include "AnsiText.h"
#include "CatalogBeside.h"
#include "Handle.h"
#include "MachinePolicy.h"
#include "ModulePath.h"
#include "Sha256.h"
#include "SideFile.h"

namespace {

const wchar_t kImageSumsSuffix[] = L".sha256";
const wchar_t kFolderSumsName[] = L"SHA256SUMS";
const wchar_t kSignatureSuffix[] = L".p7s";
const wchar_t kTrustedFolderName[] = L"trusted\\";

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
    DWORD error; // the system's, when it cannot be read

    explicit SideFile(std::wstring filePath)
        : path(std::move(filePath)), read(ReadSideFile(path, bytes)),
          error(read == SideFileRead::Unreadable ? GetLastError() : 0) {}
    std::optional<std::string> Text() const { return read == SideFileRead::Read ? std::optional(bytes) : std::nullopt; }
    bool Refuses() const { return read == SideFileRead::Unreadable || read == SideFileRead::TooLarge; }
};

// A trusted catalog that lists the image counts as a checksum file, and as its signature when it has none of its own.
void ApplyCatalog(ImageVerdict& verdict, const CatalogVouch& vouch) {
    if (!vouch.listed || verdict.checksum.Refuses())
        return;
    verdict.checksumFiles.push_back(vouch.catalogPath);
    if (!vouch.matches) {
        verdict.checksum.state = ChecksumState::Mismatch;
        return;
    }
    verdict.imageVersion = vouch.version;
    if (verdict.checksum.state == ChecksumState::None)
        verdict.checksum.state = ChecksumState::Match;
    if (verdict.signature.state == SignatureState::None) {
        verdict.signature.state = SignatureState::Valid;
        verdict.signature.signer = vouch.signer;
        verdict.signedByCatalog = true;
    }
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
            verdict.unreadableError = file->error;
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
    ApplyCatalog(verdict, JudgeCatalogBeside(folder, WideToUtf8(imagePath.substr(folder.size())), imageSize,
                                             verdict.sha256, trustedFolder, SameFileName));

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
    return MachinePolicy::Switch(MachinePolicy::kRequireSignedImages).value_or(false);
}
