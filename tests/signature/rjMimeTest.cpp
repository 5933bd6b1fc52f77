#include "rjMime.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace signature;

// Test vectors of RFC 4648, section 10, and the tails of one and two bytes.
TEST(rjMime, EncodesGroupsOfThreeAndPadsTheTail)
{
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {QByteArray("\xff\xfe\xfd", 3), "//79"},
        {QByteArray("\x00", 1), "AA=="},
        {QByteArray("\xfb\xff", 2), "+/8="},
    };
    for (const auto& [bytes, text] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(rjMime::Encode(bytes), text);
        EXPECT_EQ(rjMime::Decode(text), bytes);
    }
}

TEST(rjMime, EncodedTextIsOneLineOfTheAlphabet)
{
    QByteArray bytes(100000, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 131 + (i >> 8));
    const QString text = rjMime::Encode(bytes);
    ASSERT_EQ(text.size(), 133336);
    const QString alphabet = QString::fromLatin1(rjMime::kAlphabet);
    for (qsizetype i = 0; i < text.size() - 2; ++i)
        ASSERT_TRUE(alphabet.contains(text[i])) << "at " << i;
    EXPECT_EQ(text.right(2), "==");
}

TEST(rjMime, DecodingSkipsCharactersOutsideTheAlphabet)
{
    const std::vector<std::pair<QString, QByteArray>> cases = {
        {"Zm9v\r\nYmFy", "foobar"},
        {" Z m 9 v\tY m F y ", "foobar"},
        {"Zm=9v=YmFy==", "foobar"},
        {"Zm9vYg", "foob"},
        {"Zm9vYmE", "fooba"},
        {QString::fromUtf8("Zm9v—ЖYmFy\u00ff\u0100"), "foobar"},
        {QString("Zm9v") + QChar(0xFFFF) + QChar(0xD800) + QChar(0) + "YmFy", "foobar"},
        {"-_.,!*", ""},
    };
    for (const auto& [text, bytes] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(rjMime::Decode(text), bytes);
    }
}

TEST(rjMime, SinglePendingCharacterGivesNothing)
{
    for (const auto& [text, bytes] : std::vector<std::pair<QString, QByteArray>>{
             {"Z", ""}, {"Z===", ""}, {"Zm9vY", "foo"}, {"Zm9vY\r\n=", "foo"}}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(rjMime::Decode(text), bytes);
    }
}

TEST(rjMime, RoundTripOfRandomData)
{
    QRandomGenerator random(20240613);
    for (qsizetype size : {1, 2, 3, 4, 5, 6, 7, 63, 64, 65, 1000, 24573, 24576, 49152, 100001}) {
        SCOPED_TRACE(size);
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& b : bytes)
            b = char(random.bounded(256));
        const QString text = rjMime::Encode(bytes);
        EXPECT_EQ(text.size(), (size + 2) / 3 * 4);
        EXPECT_EQ(rjMime::Decode(text), bytes);

        // Cut into lines as a mail program or an editor would.
        QString wrapped;
        for (qsizetype i = 0; i < text.size(); i += 76)
            wrapped += text.mid(i, 76) + "\r\n";
        EXPECT_EQ(rjMime::Decode(wrapped), bytes);
    }
}
