// SHA-256 over bytes that arrive in pieces (a download), from the platform's cryptographic provider.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <windows.h>

#include <wincrypt.h>

class Sha256Stream {
public:
    Sha256Stream();
    ~Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    // False when the system cannot hash: the digest will be empty.
    bool Add(const std::uint8_t* data, std::size_t size);
    // The digest of everything added, in lower-case hex; empty when the system could not compute it. Once only.
    std::string Finish();

private:
    HCRYPTPROV m_provider = 0;
    HCRYPTHASH m_hash = 0;
    bool m_failed = false;
};
