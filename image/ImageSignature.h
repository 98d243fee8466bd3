// A detached CMS (PKCS #7) signature over an image, checked against the certificates an administrator trusts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class SignatureState {
    None,      // the image has no signature
    Valid,     // it verifies these bytes, and its signer is trusted
    Invalid,   // it does not verify these bytes, or cannot be decoded
    Untrusted, // it verifies these bytes, but its signer is not trusted to sign them (see JudgeSigner)
};

struct SignatureCheck {
    SignatureState state = SignatureState::None;
    // The signer's certificate subject, UTF-8, most specific part first ("CN=..., O=..., C=..."): when Valid, the
    // trusted signer's; when Untrusted, the first signer's.
    std::string signer;
    // Why it is Untrusted though a trusted certificate stands for the signer ("expired 2021-03-01", "not for code
    // signing", "issuer is no CA"), or why it is Invalid when that is more than "does not verify"; else empty.
    std::string reason;
    // The image's SHA-256 in lower-case hex, as the check hashed it; empty when no signer hashes with SHA-256 or
    // nothing could be hashed.
    std::string imageSha256;
};

// Verifies `signature` (DER, as `openssl cms -sign -binary -outform DER` writes it) over the image's bytes, with
// the platform's message and certificate functions. Every signer (at most 4) must verify; the image is Valid when one
// of them is trusted by JudgeSigner over the certificates in `trustedFolder` (`*.cer`, `*.crt`; DER or PEM): a
// trusted certificate or issued by a trusted CA, for code signing, valid at the message's signingTime (else now).
// A signature that carries content (not detached) is Invalid. Never None.
SignatureCheck VerifyImageSignature(const std::uint8_t* signature, std::size_t signatureSize, const std::uint8_t* image,
                                    std::size_t imageSize, const std::wstring& trustedFolder);
