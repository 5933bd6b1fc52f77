#pragma once
// The key token reader: finds the user's key fob on the USB port or on one of
// the serial ports COM1 to COM4 and reads a password-protected sub-key from it
// (the secret signing key lives in the sub-key "ecseckey").
//
// All access to the fob goes through KeyTokenLibrary, an interface with the two
// calls of the token library. On this platform the implementation is the
// software token of SoftwareKeyToken.h; tests supply their own.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace signature
{

// Constants of the signing path: the sub-key that holds the secret key text,
// the program's password for it, and its number.
inline constexpr char kSecretKeySubKeyName[] = "ecseckey";
inline constexpr char kSecretKeyPassword[] = "Qm7rTa3Z";
inline constexpr int32_t kSecretKeySubKeyNumber = 2;

// A port a reader can be attached to: type 2 is USB (number 0), type 0 the
// serial ports (numbers 1 to 4 for COM1 to COM4).
struct KeyPort {
    int32_t type = 0;
    int32_t number = 0;
    friend bool operator==(const KeyPort&, const KeyPort&) = default;
};

inline constexpr int32_t kUsbPortType = 2;
inline constexpr int32_t kSerialPortType = 0;
inline constexpr KeyPort kUsbPort{kUsbPortType, 0};
inline constexpr int32_t kFirstComPort = 1;
inline constexpr int32_t kLastComPort = 4;

// "USB", "COM1" ... "COM4"; empty for any other port.
[[nodiscard]] QString KeyPortName(KeyPort port);

inline constexpr std::size_t kKeyIdSize = 8;
inline constexpr std::size_t kScratchPadSize = 160;
inline constexpr std::size_t kSubKeyAreaSize = 48;

using KeyId = std::array<uint8_t, kKeyIdSize>;

// The key identifier as 16 upper-case hexadecimal digits, its last byte first
// (the form of the "KeyID: " debug line).
[[nodiscard]] QString KeyIdText(const KeyId& id);

// The inverse of KeyIdText: exactly 16 hexadecimal digits (either case), the
// last byte first. Result: the identifier, or none for any other text.
[[nodiscard]] std::optional<KeyId> KeyIdFromText(QStringView text);

// The 224-byte record that the token library fills. Layout (integers little
// endian):
//   0   4  port type
//   4   4  port number
//   8   8  key identifier
//  16 160  scratchpad area (filled during the search, not used further)
// 176  48  sub-key area (the sub-key that was read; zero when none was)
class KeyTokenRecord
{
public:
    static constexpr std::size_t kSize = 224;
    static constexpr std::size_t kPortTypeOffset = 0;
    static constexpr std::size_t kPortNumberOffset = 4;
    static constexpr std::size_t kKeyIdOffset = 8;
    static constexpr std::size_t kScratchPadOffset = 16;
    static constexpr std::size_t kSubKeyOffset = 176;
    static_assert(kSubKeyOffset + kSubKeyAreaSize == kSize);

    // All 224 bytes zero.
    KeyTokenRecord() = default;

    [[nodiscard]] KeyPort port() const;
    void setPort(KeyPort port);

    [[nodiscard]] KeyId keyId() const;

    std::span<uint8_t, kKeyIdSize> keyIdArea() { return area<kKeyIdOffset, kKeyIdSize>(); }
    std::span<uint8_t, kScratchPadSize> scratchPadArea()
    {
        return area<kScratchPadOffset, kScratchPadSize>();
    }
    std::span<uint8_t, kSubKeyAreaSize> subKeyArea()
    {
        return area<kSubKeyOffset, kSubKeyAreaSize>();
    }
    [[nodiscard]] std::span<const uint8_t, kSubKeyAreaSize> subKeyArea() const
    {
        return std::span<const uint8_t, kSubKeyAreaSize>(m_bytes.data() + kSubKeyOffset,
                                                         kSubKeyAreaSize);
    }

    // The sub-key area read as a zero-terminated single-byte (code page 1251)
    // text. A library that fills all 48 bytes without a zero gives 48
    // characters: the text never runs past the area. Empty when nothing was
    // read.
    [[nodiscard]] QString subKeyText() const;

    [[nodiscard]] const std::array<uint8_t, kSize>& bytes() const { return m_bytes; }

private:
    template <std::size_t Offset, std::size_t Size> std::span<uint8_t, Size> area()
    {
        static_assert(Offset + Size <= kSize);
        return std::span<uint8_t, Size>(m_bytes.data() + Offset, Size);
    }

    std::array<uint8_t, kSize> m_bytes{};
};

// The two calls of the token library. One call at a time, blocking; an
// implementation may throw, and the exception reaches the reader's caller.
class KeyTokenLibrary
{
public:
    virtual ~KeyTokenLibrary() = default;

    // Probes one port. Result: non-zero when a key answered; then keyId and
    // scratchPad are filled with the key's identifier and scratchpad contents.
    // With no key both are left as they were.
    virtual int32_t tmcKeyReadScratchPad(int32_t portType, int32_t portNumber,
                                         std::span<uint8_t, kKeyIdSize> keyId,
                                         std::span<uint8_t, kScratchPadSize> scratchPad) = 0;

    // Reads the sub-key of that number and name from the key with that
    // identifier on that port, when the password opens it. password and
    // subKeyName are zero-terminated single-byte texts. Result: the library's
    // status (non-zero when read); the reader does not rely on it, only on
    // subKey, which is filled when the read succeeds and left as it was
    // otherwise.
    virtual int32_t tmcKeyReadSubkey(int32_t portType, int32_t portNumber,
                                     std::span<const uint8_t, kKeyIdSize> keyId,
                                     const char* password, const char* subKeyName,
                                     int32_t subKeyNumber,
                                     std::span<uint8_t, kSubKeyAreaSize> subKey) = 0;
};

struct KeyTokenResult {
    bool found = false;
    KeyTokenRecord record;
};

// Searches the ports in the order USB, COM1, COM2, COM3, COM4 and stops at the
// first key that answers, writing the search lines to the debug output. When a
// key is found and both name and password are non-empty, reads sub-key number
// 2 of that name with that password into the record's sub-key area (both texts
// are passed as code page 1251 bytes).
// Result: found is false when no port answered; the record then holds only
// zeros and the last port tried. A wrong name or password leaves the sub-key
// area as the library leaves it (zero for the software token).
// Failure: exceptions of the library propagate.
[[nodiscard]] KeyTokenResult ReadKeyToken(KeyTokenLibrary& library, const QString& name,
                                          const QString& password);

// The same over this platform's token library: the software token in
// KeyTokenDirectory() (looked up anew on every call).
[[nodiscard]] KeyTokenResult ReadKeyToken(const QString& name, const QString& password);

} // namespace signature
