#pragma once
// What the signature engine needs of the operating system: cryptographic random
// bytes for nonces and keys, and a wipe of secret memory that the optimiser
// cannot drop.

#include "ECError.h"

#include <cstddef>
#include <span>

namespace signature
{

// Fills out with bytes of the system's cryptographic random source
// (getrandom or /dev/urandom; BCryptGenRandom on Windows).
// Failure: throws ECError; out is then wiped, never left half-random.
void SystemRandomBytes(std::span<std::byte> out);

// Overwrites size bytes at data with zeros in a way the compiler keeps even when
// the memory is never read again.
void SecureWipe(void* data, std::size_t size);

} // namespace signature
