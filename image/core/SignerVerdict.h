// Who may sign an image: the facts of a signer's certificate and of the trusted certificates that issued it, and
// the verdict on them, apart from the platform's certificate functions that gather the facts.
#pragma once

#include <optional>
#include <string>
#include <vector>

// A trusted certificate that issued the signer's: its subject is the signer's issuer, and its key signed it.
struct IssuerFacts {
    bool isCa = false;        // its basicConstraints say CA (false without basicConstraints)
    bool hasKeyUsage = false; // it has a keyUsage extension,
    bool keyCertSign = false; // which allows it to sign certificates
};

struct SignerFacts {
    bool isTrusted = false;           // the certificate is, byte for byte, a trusted one
    std::vector<IssuerFacts> issuers; // the trusted certificates that issued it
    // The object identifiers of its extendedKeyUsage (one that cannot be decoded holds none); nothing without one.
    std::optional<std::vector<std::string>> extendedKeyUsage;
    // UTC times written "YYYY-MM-DDTHH:MM:SSZ" (compared as text): the certificate's validity, and the moment of
    // signing (the message's signingTime, or now when it has none). Any other form is valid at no time.
    std::string notBefore;
    std::string notAfter;
    std::string signingTime;
};

enum class SignerTrust {
    Trusted,
    NoTrustedIssuer,   // neither a trusted certificate nor issued by one
    IssuerNotCa,       // issued only by trusted certificates that may not issue certificates
    NotForCodeSigning, // its extendedKeyUsage names neither code signing nor any purpose
    NotYetValid,       // it was signed before the certificate's validity began
    Expired,           // it was signed after the certificate's validity ended
    UnknownValidity,   // a time is not in the form that can be compared
};

struct SignerVerdict {
    SignerTrust trust = SignerTrust::NoTrustedIssuer;
    // Why a signer that a trusted certificate stands for is not trusted, in a few words ("expired 2021-03-01",
    // "not for code signing"); empty when it is trusted, and when no trusted certificate stands for it.
    std::string reason;
};

// Trusted when it is a trusted certificate or issued by a trusted CA (one whose basicConstraints say CA and whose
// keyUsage, if any, allows keyCertSign), its extendedKeyUsage (if any) allows code signing, and it was valid at the
// moment of signing. The first fault in that order is the verdict.
SignerVerdict JudgeSigner(const SignerFacts& facts);
