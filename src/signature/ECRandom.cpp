#include "ECRandom.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <windows.h>

#include <bcrypt.h>
#ifdef _MSC_VER
#pragma comment(lib, "bcrypt")
#endif
#else
#include <fcntl.h>
#include <string.h>
#include <sys/random.h>
#include <unistd.h>
#endif

namespace signature
{

namespace
{

#ifdef _WIN32

bool fillRandom(std::span<std::byte> out)
{
    // BCryptGenRandom takes a ULONG length; ask in pieces that fit.
    while (!out.empty()) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(out.size(), 1u << 30));
        if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(out.data()), piece,
                            BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
            return false;
        out = out.subspan(piece);
    }
    return true;
}

#else

bool fillFromDevice(std::span<std::byte> out)
{
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    while (!out.empty()) {
        const ssize_t got = ::read(fd, out.data(), out.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ::close(fd);
            return false;
        }
        out = out.subspan(static_cast<std::size_t>(got));
    }
    ::close(fd);
    return true;
}

bool fillRandom(std::span<std::byte> out)
{
    while (!out.empty()) {
        const ssize_t got = ::getrandom(out.data(), out.size(), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno == ENOSYS && fillFromDevice(out);
        out = out.subspan(static_cast<std::size_t>(got));
    }
    return true;
}

#endif

} // namespace

void SystemRandomBytes(std::span<std::byte> out)
{
    if (!fillRandom(out)) {
        SecureWipe(out.data(), out.size());
        throw ECError(ecerror::kRandomFailed);
    }
}

void SecureWipe(void* data, std::size_t size)
{
    if (size == 0)
        return;
#ifdef _WIN32
    SecureZeroMemory(data, size);
#else
    explicit_bzero(data, size);
#endif
}

} // namespace signature
