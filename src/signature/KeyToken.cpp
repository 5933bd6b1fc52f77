#include "KeyToken.h"

#include "DebugOutput.h"
#include "SoftwareKeyToken.h"
#include "TextEncoding.h"

#include <algorithm>

namespace signature
{

namespace
{

const QString kLookingOnUsb = QStringLiteral("Looking for key on USB");
const QString kFoundOnUsb = QStringLiteral("Dallas key found on USB port");
const QString kLookingOnCom = QStringLiteral("Looking for key on COM");
const QString kFoundOnCom = QStringLiteral("Dallas key found on COM");
const QString kPortSuffix = QStringLiteral(" port");
const QString kKeyIdPrefix = QStringLiteral("KeyID: ");
const QString kUsbName = QStringLiteral("USB");
const QString kComName = QStringLiteral("COM");

void writeInt32(uint8_t* p, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t readInt32(const uint8_t* p)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(p[i]) << (8 * i);
    return static_cast<int32_t>(v);
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

bool probe(KeyTokenLibrary& library, KeyTokenRecord& record)
{
    const KeyPort port = record.port();
    return library.tmcKeyReadScratchPad(port.type, port.number, record.keyIdArea(),
                                        record.scratchPadArea()) != 0;
}

// Steps through the serial ports; true with the record on the port that
// answered.
bool probeComPorts(KeyTokenLibrary& library, KeyTokenRecord& record)
{
    for (int32_t number = kFirstComPort; number <= kLastComPort; ++number) {
        record.setPort({kSerialPortType, number});
        const QString portText = QString::number(number) + kPortSuffix;
        platform::DebugLine(kLookingOnCom + portText);
        if (probe(library, record)) {
            platform::DebugLine(kFoundOnCom + portText);
            return true;
        }
    }
    return false;
}

} // namespace

QString KeyPortName(KeyPort port)
{
    if (port == kUsbPort)
        return kUsbName;
    if (port.type == kSerialPortType && port.number >= kFirstComPort && port.number <= kLastComPort)
        return kComName + QString::number(port.number);
    return {};
}

QString KeyIdText(const KeyId& id)
{
    QByteArray reversed(reinterpret_cast<const char*>(id.data()), qsizetype(id.size()));
    std::reverse(reversed.begin(), reversed.end());
    return QString::fromLatin1(reversed.toHex().toUpper());
}

std::optional<KeyId> KeyIdFromText(QStringView text)
{
    constexpr qsizetype kDigits = qsizetype(2 * kKeyIdSize);
    if (text.size() != kDigits)
        return std::nullopt;
    KeyId id;
    for (std::size_t i = 0; i < kKeyIdSize; ++i) {
        const qsizetype pos = kDigits - 2 * qsizetype(i + 1);
        const int high = hexValue(text[pos]);
        const int low = hexValue(text[pos + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        id[i] = uint8_t(high << 4 | low);
    }
    return id;
}

KeyPort KeyTokenRecord::port() const
{
    return {readInt32(m_bytes.data() + kPortTypeOffset),
            readInt32(m_bytes.data() + kPortNumberOffset)};
}

void KeyTokenRecord::setPort(KeyPort port)
{
    writeInt32(m_bytes.data() + kPortTypeOffset, port.type);
    writeInt32(m_bytes.data() + kPortNumberOffset, port.number);
}

KeyId KeyTokenRecord::keyId() const
{
    KeyId id;
    std::copy_n(m_bytes.begin() + kKeyIdOffset, kKeyIdSize, id.begin());
    return id;
}

QString KeyTokenRecord::subKeyText() const
{
    const auto area = subKeyArea();
    const auto end = std::find(area.begin(), area.end(), uint8_t(0));
    return platform::FromCp1251(
        QByteArray(reinterpret_cast<const char*>(area.data()), qsizetype(end - area.begin())));
}

KeyTokenResult ReadKeyToken(KeyTokenLibrary& library, const QString& name, const QString& password)
{
    KeyTokenResult result;
    KeyTokenRecord& record = result.record;
    record.setPort(kUsbPort);

    platform::DebugLine(kLookingOnUsb);
    if (probe(library, record))
        platform::DebugLine(kFoundOnUsb);
    else if (!probeComPorts(library, record))
        return result;

    platform::DebugLine(kKeyIdPrefix + KeyIdText(record.keyId()));
    result.found = true;

    const QByteArray nameBytes = platform::ToCp1251(name);
    const QByteArray passwordBytes = platform::ToCp1251(password);
    if (!nameBytes.isEmpty() && !passwordBytes.isEmpty()) {
        const KeyPort port = record.port();
        const KeyId id = record.keyId();
        // The status is not examined: what the sub-key area holds afterwards is
        // the answer.
        library.tmcKeyReadSubkey(port.type, port.number, id, passwordBytes.constData(),
                                 nameBytes.constData(), kSecretKeySubKeyNumber,
                                 record.subKeyArea());
    }
    return result;
}

KeyTokenResult ReadKeyToken(const QString& name, const QString& password)
{
    SoftwareKeyTokenLibrary library(KeyTokenDirectory());
    return ReadKeyToken(library, name, password);
}

} // namespace signature
