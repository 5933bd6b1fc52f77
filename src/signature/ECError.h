#pragma once
// The one failure type inside the signature engine, and its texts. The engine
// catches it and clears its keys; it never reaches a user, so the texts are for
// developers and tests.

#include <stdexcept>

namespace signature
{

class ECError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace ecerror
{
inline constexpr const char* kTooLong = "a long integer would exceed 19 digits";
inline constexpr const char* kNegative = "a long integer difference would be negative";
inline constexpr const char* kModZero = "reduction modulo zero";
inline constexpr const char* kInverseOfZero = "the inverse of zero";
inline constexpr const char* kUnpackTooLong = "a long integer has more bits than a field element";
inline constexpr const char* kRandomFailed = "the system random source failed";
inline constexpr const char* kBadDigest = "a digest must have 20 bytes";
inline constexpr const char* kNoSecretKey = "no secret key";
inline constexpr const char* kNoPublicKeyOrSignature = "no public key or no signature";
} // namespace ecerror

} // namespace signature
