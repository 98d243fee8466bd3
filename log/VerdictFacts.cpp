// The image gate's verdict as the checksum, signature and signer facts of the record.
#include "VerdictFacts.h"

#include "AnsiText.h"
#include "MachinePolicy.h"

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
    if (verdict.signature.state == SignatureState::Untrusted && !verdict.signature.reason.empty())
        facts.signerProblem = verdict.signature.reason;
    if (verdict.policyRequiresSignature)
        facts.policy = WideToUtf8(MachinePolicy::kRequireSignedImages);
    facts.signedByCatalog = verdict.signedByCatalog;
    if (!verdict.imageVersion.empty())
        facts.imageVersion = verdict.imageVersion;
}
