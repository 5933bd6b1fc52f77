#include "SoftwareKeyToken.h"

#include "Error.h"
#include "TextEncoding.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace signature
{

namespace
{

constexpr QByteArrayView kMagic = "LDKEYTOK";
constexpr uint16_t kVersion = 1;
constexpr qsizetype kMaxSubKeys = 16;
constexpr qsizetype kMaxNameSize = 255;
constexpr qsizetype kSaltSize = 16;
constexpr qsizetype kDigestSize = 32;
constexpr qsizetype kMaxScratchPad = qsizetype(kScratchPadSize);
constexpr qsizetype kMaxData = qsizetype(kSubKeyAreaSize);
// Larger than any valid file; a bigger file is not read at all.
constexpr qint64 kMaxFileSize = 64 * 1024;

const QString kDefaultSubFolder = QStringLiteral("/Brenholt/keytokens");
const QString kFileSuffix = QStringLiteral(".key");

const QString kErrPort = QStringLiteral("no key token port %1:%2 (use USB or COM1 to COM4)");
const QString kErrScratchPad = QStringLiteral("the scratchpad holds at most 160 bytes");
const QString kErrSubKeyCount = QStringLiteral("a key token holds at most 16 sub-keys");
const QString kErrName = QStringLiteral("a sub-key name has 1 to 255 bytes");
const QString kErrData = QStringLiteral("a sub-key holds at most 48 bytes");
const QString kErrProtection =
    QStringLiteral("a sub-key needs a 16-byte salt and a 32-byte digest");
const QString kErrSecretEmpty = QStringLiteral("the secret key text is empty");
const QString kErrSecretLong = QStringLiteral("the secret key text has more than 47 characters");
const QString kErrSecretChars =
    QStringLiteral("the secret key text holds a zero character or one outside code page 1251");
const QString kErrWrite = QStringLiteral("cannot write the key token file %1: %2");
const QString kErrFolder = QStringLiteral("cannot create the key token folder %1");

// Reads a byte span from an explicit position; every read checks what is
// left, and a short read makes the reader fail for good.
class ByteReader
{
public:
    explicit ByteReader(QByteArrayView bytes) : m_bytes(bytes) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos == m_bytes.size(); }

    QByteArrayView take(qsizetype size)
    {
        if (!m_ok || size < 0 || size > m_bytes.size() - m_pos) {
            m_ok = false;
            return {};
        }
        const QByteArrayView part = m_bytes.sliced(m_pos, size);
        m_pos += size;
        return part;
    }

    uint32_t unsignedInt(int size)
    {
        const QByteArrayView part = take(size);
        uint32_t value = 0;
        for (qsizetype i = 0; i < part.size(); ++i)
            value |= uint32_t(uint8_t(part[i])) << (8 * i);
        return value;
    }

    // A length byte followed by that many bytes, at most limit of them.
    QByteArray counted(qsizetype limit)
    {
        const qsizetype size = unsignedInt(1);
        if (size > limit)
            m_ok = false;
        return take(size).toByteArray();
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

void appendUnsigned(QByteArray& out, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out.append(char(value >> (8 * i)));
}

void appendCounted(QByteArray& out, QByteArrayView bytes)
{
    appendUnsigned(out, uint32_t(bytes.size()), 1);
    out.append(bytes);
}

QByteArray passwordDigest(QByteArrayView salt, QByteArrayView password)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(salt);
    hash.addData(password);
    return hash.result();
}

// The limits of a sub-key, the same for writing and for reading.
bool nameFits(QByteArrayView name)
{
    return !name.isEmpty() && name.size() <= kMaxNameSize;
}

void checkSubKey(const SoftwareSubKey& subKey)
{
    if (!nameFits(subKey.name))
        throw platform::Error(kErrName);
    if (subKey.data.size() > kMaxData)
        throw platform::Error(kErrData);
    if (subKey.salt.size() != kSaltSize || subKey.digest.size() != kDigestSize)
        throw platform::Error(kErrProtection);
}

QByteArrayView textArgument(const char* text)
{
    return text ? QByteArrayView(text) : QByteArrayView();
}

// Copies bytes to the start of area (never past its end) and zeros the rest.
template <std::size_t N> void fill(std::span<uint8_t, N> area, QByteArrayView bytes)
{
    const auto count = std::min<std::size_t>(area.size(), std::size_t(bytes.size()));
    const auto end =
        std::copy_n(reinterpret_cast<const uint8_t*>(bytes.data()), count, area.begin());
    std::fill(end, area.end(), uint8_t(0));
}

} // namespace

QString KeyTokenDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable(kKeyTokenDirVariable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           kDefaultSubFolder;
}

QString SoftwareKeyTokenPath(const QString& directory, KeyPort port)
{
    const QString name = KeyPortName(port);
    if (name.isEmpty())
        return {};
    return QDir(directory).filePath(name + kFileSuffix);
}

std::optional<SoftwareKeyToken> ParseSoftwareKeyToken(QByteArrayView file)
{
    ByteReader in(file);
    if (in.take(kMagic.size()) != kMagic || in.unsignedInt(2) != kVersion)
        return std::nullopt;
    SoftwareKeyToken token;
    const QByteArrayView id = in.take(qsizetype(kKeyIdSize));
    std::copy(id.begin(), id.end(), token.id.begin());
    token.scratchPad = in.counted(kMaxScratchPad);
    const qsizetype count = in.unsignedInt(1);
    if (count > kMaxSubKeys)
        return std::nullopt;
    for (qsizetype i = 0; i < count && in.ok(); ++i) {
        SoftwareSubKey subKey;
        subKey.number = int32_t(in.unsignedInt(4));
        subKey.name = in.counted(kMaxNameSize);
        subKey.salt = in.take(kSaltSize).toByteArray();
        subKey.digest = in.take(kDigestSize).toByteArray();
        subKey.data = in.counted(kMaxData);
        if (subKey.name.isEmpty())
            return std::nullopt;
        token.subKeys.push_back(std::move(subKey));
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return token;
}

QByteArray SerializeSoftwareKeyToken(const SoftwareKeyToken& token)
{
    if (token.scratchPad.size() > kMaxScratchPad)
        throw platform::Error(kErrScratchPad);
    if (qsizetype(token.subKeys.size()) > kMaxSubKeys)
        throw platform::Error(kErrSubKeyCount);
    QByteArray out;
    out.append(kMagic);
    appendUnsigned(out, kVersion, 2);
    out.append(reinterpret_cast<const char*>(token.id.data()), qsizetype(token.id.size()));
    appendCounted(out, token.scratchPad);
    appendUnsigned(out, uint32_t(token.subKeys.size()), 1);
    for (const SoftwareSubKey& subKey : token.subKeys) {
        checkSubKey(subKey);
        appendUnsigned(out, uint32_t(subKey.number), 4);
        appendCounted(out, subKey.name);
        out.append(subKey.salt);
        out.append(subKey.digest);
        appendCounted(out, subKey.data);
    }
    return out;
}

SoftwareSubKey MakeSoftwareSubKey(int32_t number, QByteArrayView name, QByteArrayView password,
                                  QByteArrayView data)
{
    SoftwareSubKey subKey;
    subKey.number = number;
    subKey.name = name.toByteArray();
    subKey.salt.resize(kSaltSize);
    QRandomGenerator::system()->generate(subKey.salt.begin(), subKey.salt.end());
    subKey.digest = passwordDigest(subKey.salt, password);
    subKey.data = data.toByteArray();
    checkSubKey(subKey);
    return subKey;
}

bool PasswordOpens(const SoftwareSubKey& subKey, QByteArrayView password)
{
    const QByteArray digest = passwordDigest(subKey.salt, password);
    if (digest.size() != subKey.digest.size())
        return false;
    // Every byte is compared, so the time taken does not tell how much matched.
    uint8_t difference = 0;
    for (qsizetype i = 0; i < digest.size(); ++i)
        difference |= uint8_t(digest[i] ^ subKey.digest[i]);
    return difference == 0;
}

SoftwareKeyTokenLibrary::SoftwareKeyTokenLibrary(QString directory)
    : m_directory(std::move(directory))
{
}

std::optional<SoftwareKeyToken> SoftwareKeyTokenLibrary::load(KeyPort port) const
{
    const QString path = SoftwareKeyTokenPath(m_directory, port);
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize)
        return std::nullopt;
    return ParseSoftwareKeyToken(file.read(kMaxFileSize + 1));
}

int32_t
SoftwareKeyTokenLibrary::tmcKeyReadScratchPad(int32_t portType, int32_t portNumber,
                                              std::span<uint8_t, kKeyIdSize> keyId,
                                              std::span<uint8_t, kScratchPadSize> scratchPad)
{
    const auto token = load({portType, portNumber});
    if (!token)
        return 0;
    std::copy(token->id.begin(), token->id.end(), keyId.begin());
    fill(scratchPad, token->scratchPad);
    return 1;
}

int32_t SoftwareKeyTokenLibrary::tmcKeyReadSubkey(int32_t portType, int32_t portNumber,
                                                  std::span<const uint8_t, kKeyIdSize> keyId,
                                                  const char* password, const char* subKeyName,
                                                  int32_t subKeyNumber,
                                                  std::span<uint8_t, kSubKeyAreaSize> subKey)
{
    const auto token = load({portType, portNumber});
    if (!token || !std::equal(keyId.begin(), keyId.end(), token->id.begin()))
        return 0;
    const QByteArrayView name = textArgument(subKeyName);
    const QByteArrayView pass = textArgument(password);
    for (const SoftwareSubKey& stored : token->subKeys) {
        if (stored.number == subKeyNumber && stored.name == name && PasswordOpens(stored, pass)) {
            fill(subKey, stored.data);
            return 1;
        }
    }
    return 0;
}

QString WriteSoftwareKeyToken(const QString& directory, KeyPort port, const KeyId& id,
                              QByteArrayView scratchPad, QByteArrayView subKeyName,
                              QByteArrayView password, QByteArrayView subKeyBytes,
                              int32_t subKeyNumber)
{
    const QString path = SoftwareKeyTokenPath(directory, port);
    if (path.isEmpty())
        throw platform::Error(kErrPort.arg(port.type).arg(port.number));
    SoftwareKeyToken token;
    token.id = id;
    token.scratchPad = scratchPad.toByteArray();
    token.subKeys.push_back(MakeSoftwareSubKey(subKeyNumber, subKeyName, password, subKeyBytes));
    const QByteArray content = SerializeSoftwareKeyToken(token);

    if (!QDir().mkpath(directory))
        throw platform::Error(kErrFolder.arg(directory));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw platform::Error(kErrWrite.arg(path, file.errorString()));
    return path;
}

QString WriteSecretKeyToken(const QString& directory, KeyPort port, const KeyId& id,
                            const QString& secretText)
{
    const QByteArray bytes = platform::ToCp1251(secretText);
    if (bytes.isEmpty())
        throw platform::Error(kErrSecretEmpty);
    if (bytes.size() >= kMaxData)
        throw platform::Error(kErrSecretLong);
    if (bytes.contains('\0') || platform::FromCp1251(bytes) != secretText)
        throw platform::Error(kErrSecretChars);
    return WriteSoftwareKeyToken(directory, port, id, {}, kSecretKeySubKeyName, kSecretKeyPassword,
                                 bytes);
}

} // namespace signature
