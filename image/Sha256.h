// SHA-256 from the platform's cryptographic provider.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The digest in lower-case hex; empty when the system cannot compute it.
std::string Sha256Hex(const std::uint8_t* data, std::size_t size);

// The bytes in lower-case hex, as digests are written.
std::string LowerHex(const std::uint8_t* bytes, std::size_t size);
