// Detached CMS signatures over an image: crypt32's message and certificate functions, loaded from the system folder,
// and the trusted certificates of a folder.
#include "ImageSignature.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include <windows.h>

#include <wincrypt.h>

#include "AnsiText.h"
#include "Handle.h"
#include "Sha256.h"
#include "SideFile.h"
#include "SignerVerdict.h"
#include "SystemLibrary.h"

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// The message hashes the whole image once for each signer: a crafted signature with thousands of them would hold the
// download up for hours. A vendor signs once, perhaps twice while changing keys.
constexpr DWORD kMaxSigners = 4;

// crypt32.dll is no KnownDLL: imported statically, a file of that name beside the executable (say in a Downloads
// folder) would be loaded in its place. It is loaded from the system folder once and stays for the process's life;
// each member is the function of its name, and `missing` counts those that could not be found.
template <class Function> Function Counted(Function function, int& missing) {
    missing += function == nullptr;
    return function;
}
#define CRYPT32_FUNCTION(function)                                                                                     \
    decltype(&::function) function = Counted(SYSTEM_FUNCTION(L"crypt32.dll", function), missing)
struct Crypt32 {
    int missing = 0;
    CRYPT32_FUNCTION(CryptMsgOpenToDecode);
    CRYPT32_FUNCTION(CryptMsgUpdate);
    CRYPT32_FUNCTION(CryptMsgGetParam);
    CRYPT32_FUNCTION(CryptMsgControl);
    CRYPT32_FUNCTION(CryptMsgClose);
    CRYPT32_FUNCTION(CertOpenStore);
    CRYPT32_FUNCTION(CertCloseStore);
    CRYPT32_FUNCTION(CertAddEncodedCertificateToStore);
    CRYPT32_FUNCTION(CertGetSubjectCertificateFromStore);
    CRYPT32_FUNCTION(CertEnumCertificatesInStore);
    CRYPT32_FUNCTION(CertFreeCertificateContext);
    CRYPT32_FUNCTION(CertCompareCertificateName);
    CRYPT32_FUNCTION(CryptVerifyCertificateSignatureEx);
    CRYPT32_FUNCTION(CertNameToStrW);
    CRYPT32_FUNCTION(CryptDecodeObjectEx);
    CRYPT32_FUNCTION(CryptStringToBinaryA);
    CRYPT32_FUNCTION(CertFindExtension);
    CRYPT32_FUNCTION(CertGetIntendedKeyUsage);
    bool Loaded() const { return missing == 0; }
};
#undef CRYPT32_FUNCTION

const Crypt32& Crypt() {
    static const Crypt32 crypt;
    return crypt;
}

void CloseMessage(HCRYPTMSG message) {
    Crypt().CryptMsgClose(message);
}
void CloseStore(HCERTSTORE store) {
    Crypt().CertCloseStore(store, 0);
}
void FreeCertificate(PCCERT_CONTEXT certificate) {
    Crypt().CertFreeCertificateContext(certificate);
}
// crypt32 is loaded at run time, so its close functions are reached through the table.
using Message = UniqueAny<HCRYPTMSG, &CloseMessage>;
using Store = UniqueAny<HCERTSTORE, &CloseStore>;
using Certificate = UniqueAny<PCCERT_CONTEXT, &FreeCertificate>;

// A parameter of the decoded message, as the structure it holds; empty when there is none.
std::vector<BYTE> MessageParam(HCRYPTMSG message, DWORD type, DWORD index) {
    DWORD size = 0;
    if (!Crypt().CryptMsgGetParam(message, type, index, nullptr, &size) || size == 0)
        return {};
    std::vector<BYTE> data(size);
    if (!Crypt().CryptMsgGetParam(message, type, index, data.data(), &size))
        return {};
    data.resize(size);
    return data;
}

bool IsCertificateFile(const std::wstring& name) {
    const std::size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos)
        return false;
    const wchar_t* extension = name.c_str() + dot;
    return CompareStringOrdinal(extension, -1, L".cer", -1, TRUE) == CSTR_EQUAL ||
           CompareStringOrdinal(extension, -1, L".crt", -1, TRUE) == CSTR_EQUAL;
}

// Adds the certificate of a DER file, or every certificate of a PEM file.
void AddCertificates(HCERTSTORE store, const std::string& file) {
    const Crypt32& c = Crypt();
    static const std::string kBegin = "-----BEGIN CERTIFICATE-----";
    static const std::string kEnd = "-----END CERTIFICATE-----";
    std::size_t begin = file.find(kBegin);
    if (begin == std::string::npos) {
        c.CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(file.data()),
                                           static_cast<DWORD>(file.size()), CERT_STORE_ADD_ALWAYS, nullptr);
        return;
    }
    for (; begin != std::string::npos; begin = file.find(kBegin, begin + kBegin.size())) {
        const std::size_t end = file.find(kEnd, begin);
        if (end == std::string::npos)
            return;
        const DWORD length = static_cast<DWORD>(end + kEnd.size() - begin);
        DWORD size = 0;
        if (!c.CryptStringToBinaryA(file.data() + begin, length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                                    nullptr))
            continue;
        std::vector<BYTE> der(size);
        if (c.CryptStringToBinaryA(file.data() + begin, length, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                                   nullptr))
            c.CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_ALWAYS,
                                               nullptr);
    }
}

// The certificates of the folder's *.cer and *.crt files. A file that cannot be read or decoded adds no trust.
Store LoadTrusted(const std::wstring& folder) {
    Store store(Crypt().CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    if (!store.Get() || folder.empty())
        return store;
    const std::wstring prefix = folder.back() == L'\\' || folder.back() == L'/' ? folder : folder + L'\\';
    WIN32_FIND_DATAW found;
    const FindHandle search(FindFirstFileW((prefix + L'*').c_str(), &found));
    for (bool more = search.IsValid(); more; more = FindNextFileW(search.Get(), &found)) {
        std::string bytes;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsCertificateFile(found.cFileName) &&
            ReadSideFile(prefix + found.cFileName, bytes) == SideFileRead::Read)
            AddCertificates(store.Get(), bytes);
    }
    return store;
}

// The structure that `type` decodes `encoded` into; empty when it cannot.
std::vector<BYTE> Decoded(LPCSTR type, const BYTE* encoded, DWORD encodedSize) {
    DWORD size = 0;
    if (!Crypt().CryptDecodeObjectEx(X509_ASN_ENCODING, type, encoded, encodedSize, 0, nullptr, nullptr, &size))
        return {};
    std::vector<BYTE> decoded(size);
    if (!Crypt().CryptDecodeObjectEx(X509_ASN_ENCODING, type, encoded, encodedSize, 0, nullptr, decoded.data(), &size))
        return {};
    return decoded;
}

const CERT_EXTENSION* ExtensionOf(PCCERT_CONTEXT certificate, LPCSTR oid) {
    const CERT_INFO& info = *certificate->pCertInfo;
    return Crypt().CertFindExtension(oid, info.cExtension, info.rgExtension);
}

// "YYYY-MM-DDTHH:MM:SSZ"; empty for a time that no calendar date holds.
std::string UtcText(const FILETIME& time) {
    SYSTEMTIME utc;
    if (!FileTimeToSystemTime(&time, &utc))
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                  utc.wMinute, utc.wSecond);
    return text;
}

IssuerFacts IssuerFactsOf(PCCERT_CONTEXT issuer) {
    IssuerFacts facts;
    if (const CERT_EXTENSION* extension = ExtensionOf(issuer, szOID_BASIC_CONSTRAINTS2)) {
        const std::vector<BYTE> decoded =
            Decoded(X509_BASIC_CONSTRAINTS2, extension->Value.pbData, extension->Value.cbData);
        facts.isCa = !decoded.empty() && reinterpret_cast<const CERT_BASIC_CONSTRAINTS2_INFO*>(decoded.data())->fCA;
    }
    BYTE usage[2] = {};
    // Its "no keyUsage" is a failure with no error: an error left from before must not read as one of its own.
    SetLastError(0);
    const bool read = Crypt().CertGetIntendedKeyUsage(X509_ASN_ENCODING, issuer->pCertInfo, usage, sizeof usage);
    // It fails with no error when there is no keyUsage; a keyUsage that cannot be read allows nothing.
    facts.hasKeyUsage = read || GetLastError() != 0;
    facts.keyCertSign = read && (usage[0] & CERT_KEY_CERT_SIGN_KEY_USAGE) != 0;
    return facts;
}

// What the trust in the signer rests on. Equal to a trusted certificate means every byte: the issuer and serial number
// alone are easily copied. Issued by one means its subject is the signer's issuer and its key signed the certificate.
SignerFacts SignerFactsOf(PCCERT_CONTEXT signer, HCERTSTORE trusted, std::string signingTime) {
    const Crypt32& c = Crypt();
    SignerFacts facts;
    for (PCCERT_CONTEXT candidate = nullptr;
         (candidate = c.CertEnumCertificatesInStore(trusted, candidate)) != nullptr;) {
        if (candidate->cbCertEncoded == signer->cbCertEncoded &&
            std::memcmp(candidate->pbCertEncoded, signer->pbCertEncoded, signer->cbCertEncoded) == 0)
            facts.isTrusted = true;
        else if (c.CertCompareCertificateName(X509_ASN_ENCODING, &signer->pCertInfo->Issuer,
                                              &candidate->pCertInfo->Subject) &&
                 c.CryptVerifyCertificateSignatureEx(
                     0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT, const_cast<CERT_CONTEXT*>(signer),
                     CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT, const_cast<CERT_CONTEXT*>(candidate), 0, nullptr))
            facts.issuers.push_back(IssuerFactsOf(candidate));
    }
    if (const CERT_EXTENSION* extension = ExtensionOf(signer, szOID_ENHANCED_KEY_USAGE)) {
        const std::vector<BYTE> decoded =
            Decoded(X509_ENHANCED_KEY_USAGE, extension->Value.pbData, extension->Value.cbData);
        facts.extendedKeyUsage.emplace();
        if (!decoded.empty()) {
            const auto& usage = *reinterpret_cast<const CERT_ENHKEY_USAGE*>(decoded.data());
            facts.extendedKeyUsage->assign(usage.rgpszUsageIdentifier,
                                           usage.rgpszUsageIdentifier + usage.cUsageIdentifier);
        }
    }
    facts.notBefore = UtcText(signer->pCertInfo->NotBefore);
    facts.notAfter = UtcText(signer->pCertInfo->NotAfter);
    facts.signingTime = std::move(signingTime);
    return facts;
}

// The moment of signing as the signer states it in its signingTime attribute, else now; nothing when the attribute
// cannot be read.
std::optional<std::string> SigningTime(const CMSG_SIGNER_INFO& signer) {
    for (DWORD i = 0; i < signer.AuthAttrs.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = signer.AuthAttrs.rgAttr[i];
        if (std::strcmp(attribute.pszObjId, szOID_RSA_signingTime) != 0)
            continue;
        if (attribute.cValue != 1)
            return std::nullopt;
        const std::vector<BYTE> decoded =
            Decoded(PKCS_UTC_TIME, attribute.rgValue[0].pbData, attribute.rgValue[0].cbData);
        if (decoded.size() < sizeof(FILETIME))
            return std::nullopt;
        return UtcText(*reinterpret_cast<const FILETIME*>(decoded.data()));
    }
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return UtcText(now);
}

// With signed attributes the signature covers them, not the content: their messageDigest must be the digest of
// these bytes. Wine's verification never compares the two (Windows does; here it is harmless).
bool DigestAttributeMatches(const CMSG_SIGNER_INFO& signer, const std::string& contentDigest) {
    if (signer.AuthAttrs.cAttr == 0)
        return true;
    for (DWORD i = 0; i < signer.AuthAttrs.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = signer.AuthAttrs.rgAttr[i];
        if (std::strcmp(attribute.pszObjId, szOID_PKCS_9_MESSAGE_DIGEST) != 0)
            continue;
        if (attribute.cValue != 1)
            return false;
        const std::vector<BYTE> decoded =
            Decoded(X509_OCTET_STRING, attribute.rgValue[0].pbData, attribute.rgValue[0].cbData);
        if (decoded.empty())
            return false;
        const auto& digest = *reinterpret_cast<const CRYPT_DATA_BLOB*>(decoded.data());
        return !contentDigest.empty() && LowerHex(digest.pbData, digest.cbData) == contentDigest;
    }
    return false;
}

std::string SubjectOf(PCCERT_CONTEXT certificate) {
    const DWORD format = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
    CERT_NAME_BLOB* subject = &certificate->pCertInfo->Subject;
    const DWORD length = Crypt().CertNameToStrW(X509_ASN_ENCODING, subject, format, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring name(length, L'\0');
    name.resize(Crypt().CertNameToStrW(X509_ASN_ENCODING, subject, format, name.data(), length) - 1);
    return WideToUtf8(name);
}

struct SignerCheck {
    bool verifies = false;
    SignerVerdict verdict;
    std::string subject;
    std::string sha256;
};

SignerCheck CheckSigner(HCRYPTMSG message, DWORD index, HCERTSTORE carried, HCERTSTORE trusted,
                        const std::uint8_t* image, std::size_t imageSize) {
    const Crypt32& c = Crypt();
    SignerCheck check;
    const std::vector<BYTE> signerInfo = MessageParam(message, CMSG_SIGNER_INFO_PARAM, index);
    std::vector<BYTE> signerId = MessageParam(message, CMSG_SIGNER_CERT_INFO_PARAM, index);
    if (signerInfo.empty() || signerId.empty())
        return check;
    const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signerInfo.data());
    auto* id = reinterpret_cast<CERT_INFO*>(signerId.data());

    Certificate certificate(c.CertGetSubjectCertificateFromStore(carried, kEncoding, id));
    // A signature made without its certificate (openssl cms -nocerts) may name a trusted certificate.
    if (!certificate.Get())
        certificate = Certificate(c.CertGetSubjectCertificateFromStore(trusted, kEncoding, id));
    CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verify{};
    verify.cbSize = sizeof verify;
    verify.dwSignerIndex = index;
    verify.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
    verify.pvSigner = const_cast<CERT_CONTEXT*>(certificate.Get());
    const bool signatureVerifies =
        certificate.Get() && c.CryptMsgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verify);

    // The digest of the content as the message hashed it, read after verifying (which may still hash into it).
    // Should the system not tell it, a SHA-256 is computed here rather than the signature taken on trust.
    const bool sha256 =
        signer.HashAlgorithm.pszObjId && std::strcmp(signer.HashAlgorithm.pszObjId, szOID_NIST_sha256) == 0;
    const std::vector<BYTE> computed = MessageParam(message, CMSG_COMPUTED_HASH_PARAM, index);
    std::string digest = LowerHex(computed.data(), computed.size());
    if (digest.empty() && sha256)
        digest = Sha256Hex(image, imageSize);
    if (sha256)
        check.sha256 = digest;
    const std::optional<std::string> signingTime = SigningTime(signer);
    check.verifies = signatureVerifies && DigestAttributeMatches(signer, digest) && signingTime;
    if (check.verifies) {
        check.subject = SubjectOf(certificate.Get());
        check.verdict = JudgeSigner(SignerFactsOf(certificate.Get(), trusted, *signingTime));
    }
    return check;
}

// True when the message carries content of its own. Decoded as detached, such a message would be judged on the image
// beside it; but a detached signature is what is published, and anything else is no signature of ours.
bool CarriesContent(const std::uint8_t* signature, std::size_t signatureSize) {
    const Crypt32& c = Crypt();
    const Message message(c.CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr));
    DWORD size = 0;
    return message.Get() && c.CryptMsgUpdate(message.Get(), signature, static_cast<DWORD>(signatureSize), TRUE) &&
           c.CryptMsgGetParam(message.Get(), CMSG_CONTENT_PARAM, 0, nullptr, &size) && size > 0;
}

} // namespace

SignatureCheck VerifyImageSignature(const std::uint8_t* signature, std::size_t signatureSize, const std::uint8_t* image,
                                    std::size_t imageSize, const std::wstring& trustedFolder) {
    const Crypt32& c = Crypt();
    SignatureCheck check;
    check.state = SignatureState::Invalid;
    if (!c.Loaded() || signatureSize == 0 || signatureSize > MAXDWORD || imageSize > MAXDWORD)
        return check;

    const Message message(c.CryptMsgOpenToDecode(kEncoding, CMSG_DETACHED_FLAG, 0, 0, nullptr, nullptr));
    DWORD type = 0;
    DWORD typeSize = sizeof type;
    DWORD signers = 0;
    DWORD signersSize = sizeof signers;
    if (!message.Get() || !c.CryptMsgUpdate(message.Get(), signature, static_cast<DWORD>(signatureSize), TRUE) ||
        !c.CryptMsgGetParam(message.Get(), CMSG_TYPE_PARAM, 0, &type, &typeSize) || type != CMSG_SIGNED ||
        !c.CryptMsgGetParam(message.Get(), CMSG_SIGNER_COUNT_PARAM, 0, &signers, &signersSize) || signers == 0 ||
        signers > kMaxSigners)
        return check;
    if (CarriesContent(signature, signatureSize)) {
        check.reason = "it carries content: not a detached signature";
        return check;
    }
    // The message hashes the content as it takes it: the one pass over the image.
    if (!c.CryptMsgUpdate(message.Get(), image, static_cast<DWORD>(imageSize), TRUE))
        return check;

    const Store carried(c.CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message.Get()));
    const Store trusted = LoadTrusted(trustedFolder);
    if (!carried.Get() || !trusted.Get())
        return check;
    std::vector<SignerCheck> checks;
    for (DWORD i = 0; i < signers; ++i) {
        checks.push_back(CheckSigner(message.Get(), i, carried.Get(), trusted.Get(), image, imageSize));
        if (check.imageSha256.empty())
            check.imageSha256 = checks.back().sha256;
    }
    for (const SignerCheck& signer : checks) {
        if (!signer.verifies)
            return check;
    }
    check.state = SignatureState::Untrusted;
    check.signer = checks.front().subject;
    check.reason = checks.front().verdict.reason;
    for (const SignerCheck& signer : checks) {
        if (signer.verdict.trust == SignerTrust::Trusted) {
            check.state = SignatureState::Valid;
            check.signer = signer.subject;
            check.reason.clear();
            break;
        }
    }
    return check;
}
