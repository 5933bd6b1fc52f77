#pragma once
// The software key token: this platform's stand-in for the key fob library.
// A key fob plugged into a port is a small file in the token folder:
//
//   <folder>/USB.key    the key on the USB port
//   <folder>/COM1.key   the key on COM1 (COM2.key, COM3.key, COM4.key alike)
//
// The folder is LOGDESK_KEYTOKEN_DIR when that variable is set and not empty,
// otherwise "Brenholt/keytokens" in the per-user data folder ($XDG_DATA_HOME,
// else $HOME/.local/share; the local application data folder on Windows).
// A port without a file, with an unreadable file or with a file that does not
// parse answers as a port without a key.
//
// File format, version 1 (integers little endian):
//   magic "LDKEYTOK" (8 bytes), version (2 bytes, 1),
//   key identifier (8 bytes, in record order),
//   scratchpad length S (1 byte, at most 160), S scratchpad bytes,
//   sub-key count N (1 byte, at most 16), then N sub-keys, each:
//     number (4 bytes, signed), name length L (1 byte, 1 to 255), L name bytes,
//     salt (16 bytes), SHA-256 of salt followed by the password (32 bytes),
//     data length D (1 byte, at most 48), D data bytes;
//   and nothing after the last sub-key.
//
// What protects a sub-key: only its password digest. The data itself is stored
// in the clear, so whoever can read the file can read the secret key. A real
// fob keeps the sub-key inside the hardware; this file is a stand-in for
// development, tests and demonstrations, and offers none of that protection.

#include "KeyToken.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

namespace signature
{

inline constexpr char kKeyTokenDirVariable[] = "LOGDESK_KEYTOKEN_DIR";

// The token folder as described above (not created here).
[[nodiscard]] QString KeyTokenDirectory();

// The file of the key on that port in that folder; empty for a port that is
// not USB or COM1 to COM4.
[[nodiscard]] QString SoftwareKeyTokenPath(const QString& directory, KeyPort port);

struct SoftwareSubKey {
    int32_t number = 0;
    QByteArray name;
    QByteArray salt;   // 16 bytes
    QByteArray digest; // 32 bytes: SHA-256 of salt + password
    QByteArray data;   // at most 48 bytes
};

struct SoftwareKeyToken {
    KeyId id{};
    QByteArray scratchPad; // at most 160 bytes
    std::vector<SoftwareSubKey> subKeys;
};

// file: the whole content of a token file. Result: the token, or none when
// the bytes are not a version 1 token file (wrong magic or version, a length
// beyond its limit or beyond the end, bytes left over). Never reads outside
// the input.
[[nodiscard]] std::optional<SoftwareKeyToken> ParseSoftwareKeyToken(QByteArrayView file);

// The file content of a token. Failure: platform::Error when a field exceeds
// its limit.
[[nodiscard]] QByteArray SerializeSoftwareKeyToken(const SoftwareKeyToken& token);

// A sub-key protected by password: a fresh random salt and the digest.
// Failure: platform::Error for an empty or over-long name or data over 48
// bytes.
[[nodiscard]] SoftwareSubKey MakeSoftwareSubKey(int32_t number, QByteArrayView name,
                                                QByteArrayView password, QByteArrayView data);

// True when password is the one the sub-key was made with.
[[nodiscard]] bool PasswordOpens(const SoftwareSubKey& subKey, QByteArrayView password);

// The token library over the token files of one folder. Each call reads the
// port's file anew, as a fob may be plugged in or pulled out at any time.
class SoftwareKeyTokenLibrary : public KeyTokenLibrary
{
public:
    explicit SoftwareKeyTokenLibrary(QString directory);

    int32_t tmcKeyReadScratchPad(int32_t portType, int32_t portNumber,
                                 std::span<uint8_t, kKeyIdSize> keyId,
                                 std::span<uint8_t, kScratchPadSize> scratchPad) override;

    // Reads nothing (result 0, subKey untouched) unless the port holds a key
    // with that identifier and a sub-key of that number and name that the
    // password opens; then subKey receives the data followed by zeros.
    int32_t tmcKeyReadSubkey(int32_t portType, int32_t portNumber,
                             std::span<const uint8_t, kKeyIdSize> keyId, const char* password,
                             const char* subKeyName, int32_t subKeyNumber,
                             std::span<uint8_t, kSubKeyAreaSize> subKey) override;

private:
    [[nodiscard]] std::optional<SoftwareKeyToken> load(KeyPort port) const;

    QString m_directory;
};

// Writes (replaces) the token file of a port: a key with that identifier and
// scratchpad holding one sub-key (number subKeyNumber, that name, protected by
// password). The folder is created when missing; the file is replaced as a
// whole or not at all. Result: the path written.
// Failure: platform::Error for a port other than USB or COM1 to COM4, a field
// beyond its limit, or a file that cannot be written.
QString WriteSoftwareKeyToken(const QString& directory, KeyPort port, const KeyId& id,
                              QByteArrayView scratchPad, QByteArrayView subKeyName,
                              QByteArrayView password, QByteArrayView subKeyBytes,
                              int32_t subKeyNumber = kSecretKeySubKeyNumber);

// Writes the token that the signing path reads: secretText (the secret key
// text, single-byte code page 1251, at most 47 characters so that the zero
// byte after it fits) as the sub-key "ecseckey" number 2 under the program's
// password, with an empty scratchpad. Result: the path written.
// Failure: platform::Error as above, and for a text that is empty, too long or
// holds characters outside code page 1251 or a zero character.
QString WriteSecretKeyToken(const QString& directory, KeyPort port, const KeyId& id,
                            const QString& secretText);

} // namespace signature
