#include "TextEncoding.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(TextEncoding, CyrillicRoundTripsThroughCp1251)
{
    const QString text = QString::fromUtf8("Оперативные журналы ЁёЯя №");
    const QByteArray bytes = ToCp1251(text);
    ASSERT_EQ(bytes.size(), text.size());
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xCE); // О
    EXPECT_EQ(FromCp1251(bytes), text);
}

TEST(TextEncoding, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(ToCp1251(QString::fromUtf8("a\u4e2db")), QByteArray("a?b"));
    EXPECT_EQ(Cp1251Code(QChar(0x4e2d)), -1);
    EXPECT_EQ(Cp1251Code(QChar(u'ё')), 0xB8);
}
