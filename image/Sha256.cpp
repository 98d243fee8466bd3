// SHA-256 through CryptoAPI, which every supported Windows (and Wine) provides.
#include "Sha256.h"

#include <windows.h>

#include <wincrypt.h>

namespace {

constexpr DWORD kDigestSize = 32;
// CryptHashData takes a 32-bit count.
constexpr std::size_t kMaxPiece = 1u << 30;

class Provider {
public:
    Provider() {
        if (!CryptAcquireContextW(&m_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
            m_provider = 0;
    }
    ~Provider() {
        if (m_provider)
            CryptReleaseContext(m_provider, 0);
    }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    HCRYPTPROV Get() const { return m_provider; }

private:
    HCRYPTPROV m_provider = 0;
};

class Hash {
public:
    explicit Hash(HCRYPTPROV provider) {
        if (!provider || !CryptCreateHash(provider, CALG_SHA_256, 0, 0, &m_hash))
            m_hash = 0;
    }
    ~Hash() {
        if (m_hash)
            CryptDestroyHash(m_hash);
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    HCRYPTHASH Get() const { return m_hash; }

private:
    HCRYPTHASH m_hash = 0;
};

} // namespace

std::string Sha256Hex(const std::uint8_t* data, std::size_t size) {
    const Provider provider;
    const Hash hash(provider.Get());
    if (!hash.Get())
        return {};
    for (std::size_t offset = 0; offset < size; offset += kMaxPiece) {
        const DWORD piece = static_cast<DWORD>(size - offset < kMaxPiece ? size - offset : kMaxPiece);
        if (!CryptHashData(hash.Get(), data + offset, piece, 0))
            return {};
    }
    BYTE digest[kDigestSize];
    DWORD length = sizeof digest;
    if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &length, 0) || length != kDigestSize)
        return {};
    return LowerHex(digest, sizeof digest);
}

std::string LowerHex(const std::uint8_t* bytes, std::size_t size) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        hex += kHex[bytes[i] >> 4];
        hex += kHex[bytes[i] & 0x0F];
    }
    return hex;
}
