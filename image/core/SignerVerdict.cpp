// The verdict on an image's signer: chain of one, purpose, validity at the moment of signing.
#include "SignerVerdict.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr char kCodeSigning[] = "1.3.6.1.5.5.7.3.3";
constexpr char kAnyExtendedKeyUsage[] = "2.5.29.37.0";

// "YYYY-MM-DDTHH:MM:SSZ": only then does comparing the texts compare the moments.
bool IsUtcTime(const std::string& time) {
    const std::string form = "dddd-dd-ddTdd:dd:ddZ";
    return time.size() == form.size() && std::equal(form.begin(), form.end(), time.begin(), [](char f, char c) {
               return f == 'd' ? std::isdigit(static_cast<unsigned char>(c)) != 0 : f == c;
           });
}

bool MayIssue(const IssuerFacts& issuer) {
    return issuer.isCa && (!issuer.hasKeyUsage || issuer.keyCertSign);
}

} // namespace

SignerVerdict JudgeSigner(const SignerFacts& facts) {
    if (!facts.isTrusted) {
        if (facts.issuers.empty())
            return {SignerTrust::NoTrustedIssuer, ""};
        if (std::none_of(facts.issuers.begin(), facts.issuers.end(), MayIssue))
            return {SignerTrust::IssuerNotCa, "issuer is no CA"};
    }
    if (const auto& usages = facts.extendedKeyUsage;
        usages && std::find(usages->begin(), usages->end(), kCodeSigning) == usages->end() &&
        std::find(usages->begin(), usages->end(), kAnyExtendedKeyUsage) == usages->end())
        return {SignerTrust::NotForCodeSigning, "not for code signing"};
    if (!IsUtcTime(facts.notBefore) || !IsUtcTime(facts.notAfter) || !IsUtcTime(facts.signingTime))
        return {SignerTrust::UnknownValidity, "validity unknown"};
    if (facts.signingTime < facts.notBefore)
        return {SignerTrust::NotYetValid, "not valid before " + facts.notBefore.substr(0, 10)};
    if (facts.signingTime > facts.notAfter)
        return {SignerTrust::Expired, "expired " + facts.notAfter.substr(0, 10)};
    return {SignerTrust::Trusted, ""};
}
