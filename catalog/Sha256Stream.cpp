// SHA-256 through CryptoAPI, fed piece by piece.
#include "Sha256Stream.h"

#include "Sha256.h"

Sha256Stream::Sha256Stream() {
    if (!CryptAcquireContextW(&m_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        m_provider = 0;
    else if (!CryptCreateHash(m_provider, CALG_SHA_256, 0, 0, &m_hash))
        m_hash = 0;
    m_failed = m_hash == 0;
}

Sha256Stream::~Sha256Stream() {
    if (m_hash)
        CryptDestroyHash(m_hash);
    if (m_provider)
        CryptReleaseContext(m_provider, 0);
}

bool Sha256Stream::Add(const std::uint8_t* data, std::size_t size) {
    // CryptHashData takes a 32-bit count; downloads arrive in far smaller pieces.
    if (!m_failed && size > 0 && (size > MAXDWORD || !CryptHashData(m_hash, data, static_cast<DWORD>(size), 0)))
        m_failed = true;
    return !m_failed;
}

std::string Sha256Stream::Finish() {
    BYTE digest[32];
    DWORD length = sizeof digest;
    if (m_failed || !CryptGetHashParam(m_hash, HP_HASHVAL, digest, &length, 0) || length != sizeof digest)
        return {};
    m_failed = true;
    return LowerHex(digest, sizeof digest);
}
