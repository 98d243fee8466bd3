// A detached CMS (PKCS #7) signature over an image, checked against the certificates an administrator trusts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class SignatureState {
    None,      // the image has no signature
    Valid,     // it verifies these bytes, and its signer is trusted
    Invalid,   // it does not verify these bytes, or cannot be decoded
    Untrusted, // it verifies these bytes, but its signer is neither a trusted certificate nor issued by one
};

struct SignatureCheck {
    SignatureState state = SignatureState::None;
    // The signer's certificate subject, UTF-8, most specific part first ("CN=..., O=..., C=..."): when Valid, the
    // trusted signer's; when Untrusted, the first signer's.
    std::string signer;
    // The image's SHA-256 in lower-case hex, as the check hashed it; empty when no signer hashes with SHA-256 or
    // nothing could be hashed.
    std::string imageSha256;
};

// Verifies `signature` (DER, as `openssl cms -sign -binary -outform DER` writes it) over the image's bytes, with
// the platform's message and certificate functions. Every signer (at most 4) must verify; the image is Valid when one
// of them is, or is issued by, a certificate in `trustedFolder` (`*.cer`, `*.crt`; DER or PEM). Expiry is not
// enforced: images outlive their certificates. Never None.
SignatureCheck VerifyImageSignature(const std::uint8_t* signature, std::size_t signatureSize, const std::uint8_t* image,
                                    std::size_t imageSize, const std::wstring& trustedFolder);
