// Identifier rules, transliteration and the comma lists.

#include "MagCommon.h"
#include "MessageRecorder.h"

#include <gtest/gtest.h>

using namespace catalogue;

TEST(Naming, Transliteration)
{
    struct Case {
        const char* name;
        const char* identifier;
    };
    for (const Case& c :
         {Case{"Насос", "NASOS"}, Case{"Трансформатор", "TRANS"}, Case{"Ячейка 1", "YACHEYK"},
          Case{"Шкаф-2", "SHKAF"}, Case{"Объект", "OBEK"}, Case{"Ёлка", "ELKA"},
          Case{"А1 Б2", "A1B2"}, Case{"Pump", "Pump"}, Case{"", ""}, Case{"Щ_ю|", "SH_YU|"}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Transliterate(QString::fromUtf8(c.name)), QString::fromUtf8(c.identifier));
    }
}

TEST(Naming, IdentifierText)
{
    for (const char* ok : {"", "ABC_1", "a-b", "(x)[y]#$'+=@", "Z9"})
        EXPECT_TRUE(IsValidIdentifierText(QString::fromUtf8(ok))) << ok;
    for (const char* bad : {"A B", "A.B", "Насос", "a/b",  "a\\b", "x:y",  "a*",  "a?", "a\"",
                            "<",   ">",   "|",     "&",    "%",    ";",    ",",   "!",  "^",
                            "{",   "}",   "~",     "\x7f", "A`B",  "a\tb", "\x01"})
        EXPECT_FALSE(IsValidIdentifierText(QString::fromUtf8(bad))) << bad;
}

TEST(Naming, ValidateIdentifierTellsWhy)
{
    EquipmentTree editor;
    EquipmentNode* n = editor.add(nullptr);
    n->info.FullPath = "TP1`";
    EquipmentEditorTree() = &editor;
    struct Case {
        const char* identifier;
        const char* path;
        bool report;
        bool valid;
        const char* message;
    };
    for (const Case& c :
         {Case{"", "`", true, false, "Не указан идентификатор объекта"},
          Case{"T 1", "T 1`", true, false,
               "Идентификатор может содержать только буквы латинского алфавита и цифры"},
          Case{"TP1", "TP1`", true, false, "Идентификатор не уникален"},
          Case{"TP1", "TP1`", false, false, nullptr}, Case{"TP_2", "TP_2`", true, true, nullptr}}) {
        SCOPED_TRACE(c.identifier);
        MessageRecorder messages;
        EXPECT_EQ(ValidateIdentifier(QString::fromUtf8(c.identifier), QString::fromUtf8(c.path),
                                     c.report),
                  c.valid);
        if (c.message) {
            ASSERT_EQ(messages.messages().size(), 1);
            EXPECT_EQ(messages.messages()[0].text, QString::fromUtf8(c.message));
            EXPECT_EQ(messages.messages()[0].caption, "Внимание");
            EXPECT_EQ(messages.messages()[0].icon, platform::MsgIcon::Warning);
        } else {
            EXPECT_TRUE(messages.messages().isEmpty());
        }
    }
    EquipmentEditorTree() = nullptr;
}

TEST(Naming, CommaLists)
{
    EXPECT_EQ(CommaListItem(1, "a,b,,d"), "b");
    EXPECT_EQ(CommaListItem(2, "a,b,,d"), "");
    EXPECT_EQ(CommaListItem(9, "a,b"), "");
    EXPECT_EQ(CommaListIndex("d", "a,b,,d"), 3);
    EXPECT_EQ(CommaListIndex("", "a,b,,d"), 2);
    EXPECT_EQ(CommaListIndex("B", "a,b"), -1);
    QStringList many;
    for (int i = 0; i < 102; ++i)
        many.append(QString::number(i));
    EXPECT_EQ(CommaListIndex("100", many.join(',')), 100);
    EXPECT_EQ(CommaListIndex("101", many.join(',')), -1);
}
