// The catalog beside an image, read as a side file and verified as a signature before it is believed.
#include "CatalogBeside.h"

#include "AnsiText.h"
#include "CatalogFile.h"
#include "ImageSignature.h"
#include "SideFile.h"

CatalogVouch JudgeCatalogBeside(const std::wstring& folder, const std::string& imageName, std::uint64_t size,
                                const std::string& sha256, const std::wstring& trustedFolder, FileNameEquals sameName) {
    CatalogVouch vouch;
    std::string catalog, signature;
    const std::wstring path = folder + Utf8ToWide(kCatalogFileName);
    if (sha256.empty() || ReadSideFile(path, catalog) != SideFileRead::Read ||
        ReadSideFile(folder + Utf8ToWide(kCatalogSignatureName), signature) != SideFileRead::Read)
        return vouch;
    const CatalogRead read = ReadCatalogFile(catalog);
    if (read.problem != CatalogProblem::None)
        return vouch;
    const CatalogEntry* listed = nullptr;
    for (const CatalogEntry& entry : read.catalog.images) {
        if (sameName(entry.fileName, imageName)) {
            listed = &entry;
            break;
        }
    }
    if (!listed)
        return vouch;
    const SignatureCheck check =
        VerifyImageSignature(reinterpret_cast<const std::uint8_t*>(signature.data()), signature.size(),
                             reinterpret_cast<const std::uint8_t*>(catalog.data()), catalog.size(), trustedFolder);
    if (check.state != SignatureState::Valid)
        return vouch;
    vouch.listed = true;
    vouch.matches = listed->size == size && listed->sha256 == sha256;
    vouch.version = listed->version;
    vouch.signer = check.signer;
    vouch.catalogPath = path;
    return vouch;
}
