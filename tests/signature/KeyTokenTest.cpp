#include "KeyToken.h"
#include "DebugOutput.h"
#include "Error.h"
#include "FakeKeyTokenLibrary.h"
#include "SoftwareKeyToken.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

using namespace signature;

namespace signature
{
void PrintTo(const KeyPort& port, std::ostream* os)
{
    *os << port.type << ":" << port.number;
}
} // namespace signature

namespace
{

constexpr KeyPort kCom(int32_t n)
{
    return {kSerialPortType, n};
}

const KeyId kId{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
const QString kName = QString::fromLatin1(kSecretKeySubKeyName);
const QString kPassword = QString::fromLatin1(kSecretKeyPassword);
const QString kSecret = QStringLiteral("Kx3-pQ9zAb+7mN0rTuVw");

FakeKeyTokenLibrary::Key keyWithSecret(QByteArray data = kSecret.toLatin1())
{
    return {kId, "pad", {{kSecretKeySubKeyNumber, kSecretKeySubKeyName, kSecretKeyPassword, data}}};
}

bool allZero(std::span<const uint8_t> bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

} // namespace

TEST(KeyToken, SearchStopsAtTheFirstPortThatAnswers)
{
    const QString usbLooking = "Looking for key on USB";
    const auto comLooking = [](int n) { return QString("Looking for key on COM%1 port").arg(n); };
    const auto comFound = [](int n) { return QString("Dallas key found on COM%1 port").arg(n); };
    const QString keyIdLine = "KeyID: 0807060504030201";
    struct Case {
        const char* what;
        std::vector<KeyPort> keysOn;
        std::optional<KeyPort> foundOn;
        QStringList lines;
    };
    const std::vector<Case> cases = {
        {"USB wins over a serial port",
         {kUsbPort, kCom(2)},
         kUsbPort,
         {usbLooking, "Dallas key found on USB port", keyIdLine}},
        {"COM1", {kCom(1)}, kCom(1), {usbLooking, comLooking(1), comFound(1), keyIdLine}},
        {"COM3 before COM4",
         {kCom(3), kCom(4)},
         kCom(3),
         {usbLooking, comLooking(1), comLooking(2), comLooking(3), comFound(3), keyIdLine}},
        {"COM4",
         {kCom(4)},
         kCom(4),
         {usbLooking, comLooking(1), comLooking(2), comLooking(3), comLooking(4), comFound(4),
          keyIdLine}},
        {"no key anywhere",
         {},
         std::nullopt,
         {usbLooking, comLooking(1), comLooking(2), comLooking(3), comLooking(4)}},
        {"a key on a port that is never probed",
         {{kSerialPortType, 5}, {kUsbPortType, 1}},
         std::nullopt,
         {usbLooking, comLooking(1), comLooking(2), comLooking(3), comLooking(4)}},
    };
    const std::vector<KeyPort> order = {kUsbPort, kCom(1), kCom(2), kCom(3), kCom(4)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeKeyTokenLibrary library;
        for (KeyPort port : c.keysOn)
            library.place(port, keyWithSecret());
        platform::DebugCapture capture;

        const KeyTokenResult result = ReadKeyToken(library, kName, kPassword);

        EXPECT_EQ(capture.lines(), c.lines);
        EXPECT_EQ(result.found, c.foundOn.has_value());
        const auto last =
            c.foundOn ? std::find(order.begin(), order.end(), *c.foundOn) : order.end() - 1;
        EXPECT_EQ(library.probed(), std::vector<KeyPort>(order.begin(), last + 1));
        EXPECT_EQ(result.record.port(), c.foundOn.value_or(kCom(4)));
        if (c.foundOn) {
            EXPECT_EQ(result.record.subKeyText(), kSecret);
            ASSERT_EQ(library.subKeyCalls().size(), 1u);
            EXPECT_EQ(library.subKeyCalls()[0].port, *c.foundOn);
        } else {
            EXPECT_TRUE(library.subKeyCalls().empty());
            EXPECT_TRUE(allZero(std::span(result.record.bytes()).subspan(8)));
            EXPECT_EQ(result.record.subKeyText(), QString());
        }
    }
}

TEST(KeyToken, RecordLayoutAndKeyIdText)
{
    FakeKeyTokenLibrary library;
    library.place(kCom(2), keyWithSecret());
    const KeyTokenResult result = ReadKeyToken(library, kName, kPassword);
    const auto& bytes = result.record.bytes();

    const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + 19);
    EXPECT_EQ(head, (std::vector<uint8_t>{0, 0, 0, 0, 2, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 'p', 'a',
                                          'd'}));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(bytes.data()) + 176), kSecret.toLatin1());
    EXPECT_EQ(KeyIdText(kId), "0807060504030201");

    EXPECT_EQ(KeyIdFromText(u"0807060504030201"), kId);
    EXPECT_EQ(KeyIdFromText(u"a0b1c2d3e4f5a6b7"),
              (KeyId{0xB7, 0xA6, 0xF5, 0xE4, 0xD3, 0xC2, 0xB1, 0xA0}));
    for (const char16_t* bad : {u"", u"080706050403020", u"080706050403020100", u"08070605040302 1",
                                u"080706050403020G", u"0x07060504030201"}) {
        SCOPED_TRACE(QString::fromUtf16(bad).toStdString());
        EXPECT_FALSE(KeyIdFromText(bad).has_value());
    }
}

TEST(KeyToken, SubKeyIsAskedForWithTheGivenNameAndPasswordAndNumberTwo)
{
    FakeKeyTokenLibrary library;
    library.place(kCom(1), keyWithSecret());
    const KeyTokenResult result = ReadKeyToken(library, kName, kPassword);
    ASSERT_EQ(library.subKeyCalls().size(), 1u);
    const auto& call = library.subKeyCalls()[0];
    EXPECT_EQ(call.id, kId);
    EXPECT_EQ(call.name, "ecseckey");
    EXPECT_EQ(call.password, "Qm7rTa3Z");
    EXPECT_EQ(call.number, 2);
    EXPECT_EQ(result.record.subKeyText(), kSecret);
}

TEST(KeyToken, NoSubKeyReadWithoutNameOrPassword)
{
    for (const auto& [name, password] :
         {std::pair{QString(), kPassword}, std::pair{kName, QString()}}) {
        SCOPED_TRACE((name + "/" + password).toStdString());
        FakeKeyTokenLibrary library;
        library.place(kUsbPort, keyWithSecret());
        const KeyTokenResult result = ReadKeyToken(library, name, password);
        EXPECT_TRUE(result.found);
        EXPECT_TRUE(library.subKeyCalls().empty());
        EXPECT_EQ(result.record.subKeyText(), QString());
    }
}

// A library that fills the whole area leaves no terminating zero; the text
// must end with the area, not run into whatever follows it.
TEST(KeyToken, SubKeyTextEndsWithTheArea)
{
    FakeKeyTokenLibrary library;
    library.place(kUsbPort, keyWithSecret(QByteArray(48, 'A')));
    EXPECT_EQ(ReadKeyToken(library, kName, kPassword).record.subKeyText(), QString(48, 'A'));
}

TEST(KeyToken, LibraryExceptionsReachTheCaller)
{
    struct Failing : FakeKeyTokenLibrary {
        int32_t tmcKeyReadScratchPad(int32_t, int32_t, std::span<uint8_t, kKeyIdSize>,
                                     std::span<uint8_t, kScratchPadSize>) override
        {
            throw platform::Error("reader unplugged");
        }
    } library;
    EXPECT_THROW((void)ReadKeyToken(library, kName, kPassword), platform::Error);
}

class SoftwareKeyTokenTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString dir() const { return m_dir.path(); }

    KeyTokenResult read(const QString& name = kName, const QString& password = kPassword)
    {
        SoftwareKeyTokenLibrary library(dir());
        return ReadKeyToken(library, name, password);
    }

    void writeRaw(KeyPort port, const QByteArray& content)
    {
        QFile file(SoftwareKeyTokenPath(dir(), port));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(content), content.size());
    }

    QByteArray fileOf(KeyPort port)
    {
        QFile file(SoftwareKeyTokenPath(dir(), port));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

TEST_F(SoftwareKeyTokenTest, WrittenSecretKeyIsFoundOnItsPort)
{
    const QString path = WriteSecretKeyToken(dir(), kCom(3), kId, kSecret);
    EXPECT_EQ(path, QDir(dir()).filePath("COM3.key"));

    const KeyTokenResult result = read();
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.record.port(), kCom(3));
    EXPECT_EQ(result.record.keyId(), kId);
    EXPECT_EQ(result.record.subKeyText(), kSecret);
}

TEST_F(SoftwareKeyTokenTest, EnvironmentChoosesTheTokenFolder)
{
    WriteSecretKeyToken(dir(), kUsbPort, kId, kSecret);
    const QByteArray before = qgetenv(kKeyTokenDirVariable);
    const bool wasSet = qEnvironmentVariableIsSet(kKeyTokenDirVariable);
    qputenv(kKeyTokenDirVariable, dir().toLocal8Bit());

    EXPECT_EQ(KeyTokenDirectory(), dir());
    EXPECT_EQ(ReadKeyToken(kName, kPassword).record.subKeyText(), kSecret);

    qunsetenv(kKeyTokenDirVariable);
    EXPECT_TRUE(KeyTokenDirectory().endsWith("/Brenholt/keytokens"));
    if (wasSet)
        qputenv(kKeyTokenDirVariable, before);
}

TEST_F(SoftwareKeyTokenTest, WrongPasswordNameOrNumberReadsNothing)
{
    struct Case {
        const char* what;
        QByteArray name;
        QByteArray password;
        int32_t number;
    };
    const std::vector<Case> cases = {
        {"password", "ecseckey", "Qm7rTa3z", 2},
        {"password prefix", "ecseckey", "Qm7rTa3", 2},
        {"password longer", "ecseckey", "Qm7rTa3Z!", 2},
        {"empty password", "ecseckey", "", 2},
        {"name", "ecseckeY", "Qm7rTa3Z", 2},
        {"number", "ecseckey", "Qm7rTa3Z", 1},
    };
    const QString path = WriteSecretKeyToken(dir(), kUsbPort, kId, kSecret);
    SoftwareKeyTokenLibrary library(dir());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KeyTokenRecord record;
        EXPECT_EQ(library.tmcKeyReadSubkey(kUsbPortType, 0, kId, c.password.constData(),
                                           c.name.constData(), c.number, record.subKeyArea()),
                  0);
        EXPECT_TRUE(allZero(record.subKeyArea()));
    }
    KeyId otherId = kId;
    otherId[0] ^= 1;
    KeyTokenRecord record;
    EXPECT_EQ(library.tmcKeyReadSubkey(kUsbPortType, 0, otherId, kSecretKeyPassword,
                                       kSecretKeySubKeyName, 2, record.subKeyArea()),
              0);
    EXPECT_TRUE(allZero(record.subKeyArea()));

    // Through the reader: the key is found, the text is empty.
    const KeyTokenResult result = read(kName, "wrong");
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.record.subKeyText(), QString());
}

TEST_F(SoftwareKeyTokenTest, SubKeyIsChosenByNumberAndName)
{
    SoftwareKeyToken token;
    token.id = kId;
    token.scratchPad = QByteArray(160, 'S');
    token.subKeys = {MakeSoftwareSubKey(1, "ecseckey", "Qm7rTa3Z", "one"),
                     MakeSoftwareSubKey(2, "other", "Qm7rTa3Z", "other"),
                     MakeSoftwareSubKey(2, "ecseckey", "Qm7rTa3Z", "two"),
                     MakeSoftwareSubKey(3, "ecseckey", "Qm7rTa3Z", "three")};
    const QByteArray file = SerializeSoftwareKeyToken(token);
    const auto parsed = ParseSoftwareKeyToken(file);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(SerializeSoftwareKeyToken(*parsed), file);

    writeRaw(kCom(4), file);
    const KeyTokenResult result = read();
    EXPECT_EQ(result.record.subKeyText(), "two");
    const auto& bytes = result.record.bytes();
    EXPECT_TRUE(
        std::all_of(bytes.begin() + 16, bytes.begin() + 176, [](uint8_t b) { return b == 'S'; }));
}

TEST_F(SoftwareKeyTokenTest, PasswordIsStoredOnlyAsASaltedDigest)
{
    WriteSecretKeyToken(dir(), kCom(1), kId, kSecret);
    const QByteArray first = fileOf(kCom(1));
    WriteSecretKeyToken(dir(), kCom(1), kId, kSecret);
    const QByteArray second = fileOf(kCom(1));
    EXPECT_FALSE(first.contains(kSecretKeyPassword));
    EXPECT_EQ(first.size(), second.size());
    EXPECT_NE(first, second);
    EXPECT_EQ(read().record.subKeyText(), kSecret);
}

// File of WriteSecretKeyToken with an empty scratchpad: magic 0-7, version
// 8-9, identifier 10-17, scratchpad length 18, sub-key count 19, number 20-23,
// name length 24, name 25-32, salt 33-48, digest 49-80, data length 81, data.
TEST_F(SoftwareKeyTokenTest, CorruptFileIsNoKey)
{
    WriteSecretKeyToken(dir(), kUsbPort, kId, kSecret);
    const QByteArray good = fileOf(kUsbPort);
    ASSERT_EQ(good.size(), 82 + kSecret.size());

    const auto with = [&](int offset, char value) {
        QByteArray bytes = good;
        bytes[offset] = value;
        return bytes;
    };
    struct Case {
        QString what;
        QByteArray content;
    };
    std::vector<Case> cases = {
        {"one byte more", good + '\0'},
        {"magic", with(0, 'X')},
        {"version 2", with(8, 2)},
        {"scratchpad over 160", with(18, char(161))},
        {"scratchpad past the end", with(18, char(120))},
        {"17 sub-keys", with(19, 17)},
        {"no sub-key but bytes left", with(19, 0)},
        {"empty name", with(24, 0)},
        {"name past the end", with(24, char(255))},
        {"data over 48", with(81, 49)},
        {"data longer than the file", with(81, char(kSecret.size() + 1))},
        {"larger than any token", good + QByteArray(70 * 1024, 'x')},
    };
    for (qsizetype size = 0; size < good.size(); ++size)
        cases.push_back({QString("cut at %1").arg(size), good.left(size)});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what.toStdString());
        EXPECT_FALSE(ParseSoftwareKeyToken(c.content).has_value());
        writeRaw(kUsbPort, c.content);
        platform::DebugCapture capture;
        const KeyTokenResult result = read();
        EXPECT_FALSE(result.found);
        EXPECT_EQ(capture.lines().size(), 5);
    }
}

TEST_F(SoftwareKeyTokenTest, FolderInPlaceOfATokenFileIsNoKey)
{
    ASSERT_TRUE(QDir(dir()).mkdir("USB.key"));
    EXPECT_FALSE(read().found);
}

TEST_F(SoftwareKeyTokenTest, WriterRefusesWhatCannotBeReadBack)
{
    struct Case {
        const char* what;
        std::function<void()> write;
    };
    const std::vector<Case> cases = {
        {"COM5", [&] { WriteSecretKeyToken(dir(), kCom(5), kId, kSecret); }},
        {"USB number 1",
         [&] {
             WriteSecretKeyToken(dir(), {kUsbPortType, 1}, kId, kSecret);
         }},
        {"empty secret", [&] { WriteSecretKeyToken(dir(), kCom(1), kId, ""); }},
        {"48-character secret",
         [&] { WriteSecretKeyToken(dir(), kCom(1), kId, QString(48, 'a')); }},
        {"secret outside code page 1251",
         [&] { WriteSecretKeyToken(dir(), kCom(1), kId, QString::fromUtf8("ключ\u4e2d")); }},
        {"secret with a zero",
         [&] { WriteSecretKeyToken(dir(), kCom(1), kId, QString("ab") + QChar(0)); }},
        {"49 data bytes",
         [&] { WriteSoftwareKeyToken(dir(), kCom(1), kId, {}, "n", "p", QByteArray(49, 'd')); }},
        {"161 scratchpad bytes",
         [&] { WriteSoftwareKeyToken(dir(), kCom(1), kId, QByteArray(161, 's'), "n", "p", "d"); }},
        {"empty name", [&] { WriteSoftwareKeyToken(dir(), kCom(1), kId, {}, "", "p", "d"); }},
        {"256-byte name",
         [&] { WriteSoftwareKeyToken(dir(), kCom(1), kId, {}, QByteArray(256, 'n'), "p", "d"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_THROW(c.write(), platform::Error);
        EXPECT_TRUE(QDir(dir()).isEmpty());
    }
    // The limits themselves are accepted.
    WriteSecretKeyToken(dir(), kCom(2), kId, QString(47, 'a'));
    EXPECT_EQ(read().record.subKeyText(), QString(47, 'a'));
}
