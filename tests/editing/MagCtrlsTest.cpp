// The program's own control classes: constructor settings, what they show,
// and their hooks.

#include "MagCtrls.h"
#include "ComponentRegistry.h"
#include "Error.h"
#include "FormText.h"
#include "Messages.h"
#include "UsUnit.h"

#include <QApplication>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace editing;

namespace
{

TEST(MagCtrls, EQLevelTextShortensPaths)
{
    const QString path = "ES`GRP1`T1`";
    struct Case {
        QString text;
        int from, to;
        QString expected;
    };
    const std::vector<Case> cases = {
        {path, 0, 99, "ES GRP1 T1 "},
        {path, 1, 2, "GRP1 T1"},
        {path, 2, 1, ""},
        {path, 0, 0, "ES"},
        {path, 3, 5, ""},
        {"``ES```GRP1`", 0, 1, "ES GRP1"},
        {"ES", 0, 99, "ES "},
        {"   ", 0, 99, "   "},
        {"", 0, 99, ""},
        {path, -1, 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1 %2 %3").arg(c.text).arg(c.from).arg(c.to).toStdString());
        EXPECT_EQ(EQLevelText(c.text, c.from, c.to), c.expected);
    }
}

TEST(MagCtrls, DateAndTimeColumnsShowTheirPartOfTheText)
{
    TdxDateColumnEx date;
    TdxTimeColumnEx time;
    const std::vector<std::tuple<QString, QString, QString>> cases = {
        {"01.02.2024 10:30", "01.02.2024", "10:30"},
        {"01.02.2024", "01.02.2024", ""},
        {"01.02.2024  10:30", "01.02.2024", ""},
        {"", "", ""},
    };
    for (const auto& [text, datePart, timePart] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(date.cellText(text), datePart);
        EXPECT_EQ(time.cellText(text), timePart);
    }
    TdxEQColumn eq;
    eq.applyProperty("EQFromLevel", StreamValue::fromInteger(1));
    EXPECT_EQ(eq.cellText("ES`GRP1`T1`"), "GRP1 T1 ");
}

TEST(MagCtrls, StripesOnlyUnselectedOddRows)
{
    const QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    EXPECT_EQ(ZebraRowColor(true, false, 1), tip);
    EXPECT_EQ(ZebraRowColor(true, false, 3), tip);
    EXPECT_EQ(ZebraRowColor(true, false, 0), QColor(Qt::white));
    EXPECT_EQ(ZebraRowColor(true, false, 2), QColor(Qt::white));
    EXPECT_EQ(ZebraRowColor(true, true, 1), std::nullopt);
    EXPECT_EQ(ZebraRowColor(false, false, 1), std::nullopt);

    // The grid asks for it for every drawn cell: with a stored ZebraColors.
    auto root = ReadComponent(
        CompileFormText("object F: TUForm\n  object G: TUGrid\n    ZebraColors = True\n  end\n"
                        "  object Plain: TUGrid\n  end\nend"));
    auto* grid = dynamic_cast<TUGrid*>(root->findChild<QObject*>("G"));
    auto* plain = dynamic_cast<TUGrid*>(root->findChild<QObject*>("Plain"));
    ASSERT_TRUE(grid && plain);
    EXPECT_EQ(grid->rowBackground(1, false), tip);
    EXPECT_EQ(grid->rowBackground(1, true), std::nullopt);
    EXPECT_EQ(plain->rowBackground(1, false), std::nullopt);
}

TEST(MagCtrls, RecordGridSortsSelectsRowsAndDoesNotEdit)
{
    TUGrid grid;
    EXPECT_TRUE(grid.isSortingEnabled());
    EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(grid.zebraColors());

    QStandardItemModel records(3, 1);
    records.setItem(0, 0, new QStandardItem("b"));
    records.setItem(1, 0, new QStandardItem("c"));
    records.setItem(2, 0, new QStandardItem("a"));
    grid.setRecordModel(&records);
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), "b"); // until a header is clicked
    grid.horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), "a");
    EXPECT_EQ(grid.model()->index(2, 0).data().toString(), "c");

    int opened = 0;
    TUGrid::openRecord = [&](TUGrid&) { ++opened; };
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &click);
    TUGrid::openRecord = nullptr;
    EXPECT_EQ(opened, 1);
}

TEST(MagCtrls, DialogButtonsCarryTheirConstructorSettings)
{
    TOKButton ok;
    TCancelButton cancel;
    TSignButton sign;
    struct Expect {
        BitButton* button;
        const char* name;
        const char* caption;
        int modalResult;
        std::optional<int> tabOrder;
        int anchors;
    };
    const int rightBottom = kAnchorRight | kAnchorBottom;
    for (const Expect& e :
         {Expect{&ok, "OKButton", "Запись", 1, 0, rightBottom},
          Expect{&cancel, "CancelButton", "Отмена", 2, 1, rightBottom},
          Expect{&sign, "SignButton", "ЭЦП", 0, std::nullopt, kAnchorLeft | kAnchorTop}}) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.button->objectName(), e.name);
        EXPECT_EQ(e.button->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(e.button->size(), QSize(80, 25));
        EXPECT_EQ(e.button->modalResult(), e.modalResult);
        EXPECT_EQ(e.button->tabOrder(), e.tabOrder);
        EXPECT_EQ(e.button->anchors(), e.anchors);
        EXPECT_FALSE(e.button->isDefault());
        EXPECT_TRUE(e.button->icon().isNull());
    }
    EXPECT_EQ(sign.pos(), QPoint(4, 8));
}

TEST(MagCtrls, ConfirmButtonSavesAndClosesTheDialogEvenWhenTheSaveFails)
{
    QStringList shown;
    auto previous = platform::SetMessageHandler([&](const platform::Message& m) {
        shown << m.text;
        return platform::MsgAnswer::Ok;
    });
    int saves = 0;
    TOKButton::saveRecord = [&](TOKButton&) {
        ++saves;
        throw platform::Error("Ошибка записи");
    };
    TUForm form;
    auto* ok = new TOKButton;
    ok->setParent(&form);
    auto* cancel = new TCancelButton;
    cancel->setParent(&form);
    form.show();
    ok->click();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(shown, QStringList{QString::fromUtf8("Ошибка записи")});
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());

    form.show();
    cancel->click();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(form.result(), QDialog::Rejected);

    int signs = 0;
    TSignButton::showSignatures = [&](TSignButton&) { ++signs; };
    TSignButton sign;
    sign.click();
    EXPECT_EQ(signs, 1);

    TOKButton::saveRecord = nullptr;
    TSignButton::showSignatures = nullptr;
    platform::SetMessageHandler(previous);
}

TEST(MagCtrls, EquipmentChooserShowsItsLevelsAndKeepsItsPath)
{
    auto root = ReadComponent(CompileFormText(R"(object F: TUForm
  object All: TEQRefCombo
    DataField = 'E_EQ'
    Text = 'ES`GRP1`T1`'
  end
  object Part: TEQRefCombo
    EQFromLevel = 1
    EQToLevel = 2
    FullPath = 'ES`GRP1`'
    Text = 'ES`GRP1`T1`'
  end
end)"));
    auto* all = dynamic_cast<TEQRefCombo*>(root->findChild<QObject*>("All"));
    auto* part = dynamic_cast<TEQRefCombo*>(root->findChild<QObject*>("Part"));
    ASSERT_TRUE(all && part);
    EXPECT_FALSE(all->isEditable());
    EXPECT_EQ(all->eqFromLevel(), 0);
    EXPECT_EQ(all->eqToLevel(), 99);
    EXPECT_EQ(all->fullPath(), "");
    EXPECT_EQ(all->dataField(), "E_EQ");
    EXPECT_EQ(all->currentText(), "ES GRP1 T1 ");
    EXPECT_EQ(part->currentText(), "GRP1 T1");
    EXPECT_EQ(part->fullPath(), "ES`GRP1`");
    part->setText("");
    EXPECT_EQ(part->currentText(), "");

    int drops = 0;
    TEQRefCombo::dropDown = [&](TEQRefCombo&) { ++drops; };
    all->showPopup();
    TEQRefCombo::dropDown = nullptr;
    EXPECT_EQ(drops, 1);
}

TEST(MagCtrls, OwnTextEditorsShowTheirOwnText)
{
    TdxDBDateEditEx date;
    date.setText("01.02.2024");
    EXPECT_EQ(date.displayValue("2024-02-01"), "01.02.2024");
    TdxDBTimeEditEx time;
    time.setText("10:30");
    EXPECT_EQ(time.displayValue("10:30:00"), "10:30");
    DataEdit plain;
    EXPECT_EQ(plain.displayValue("2024-02-01"), "2024-02-01");
}

TEST(MagCtrls, PictureButtonKeepsItsPictureField)
{
    auto root = ReadComponent(CompileFormText(R"(object F: TUForm
  object Pic: TPicButton
    Caption = 'Фото'
    PicField.DataField = 'PHOTO'
    PicField.DataSource = Src
  end
  object Src: TDataSource
  end
end)"));
    auto* button = dynamic_cast<TPicButton*>(root->findChild<QObject*>("Pic"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QString::fromUtf8("Фото"));
    EXPECT_EQ(button->picField().dataField(), "PHOTO");
    EXPECT_EQ(button->picField().dataSource(), root->findChild<QObject*>("Src"));

    int edits = 0;
    TPicButton::editPicture = [&](TPicButton& b) { edits += &b == button; };
    button->click();
    TPicButton::editPicture = nullptr;
    EXPECT_EQ(edits, 1);
}

} // namespace
