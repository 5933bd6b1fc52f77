// The data-aware controls of stored forms: what they show of the current
// row, what they write back, and the actions of the program's own controls.

#include "BoundFormFixture.h"
#include "DMUnit.h"
#include "Error.h"
#include "MagCtrls.h"
#include "MessageRecorder.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeView>

using namespace editing;
using platform::Message;

namespace
{

const QDateTime kMorning(QDate(2024, 3, 5), QTime(10, 30));

class DataControls : public BoundFormTest
{
protected:
    // What a user does to a one-line editor: types text and leaves it.
    static void type(QLineEdit* edit, const QString& text)
    {
        edit->setText(text);
        edit->setModified(true);
        emit edit->editingFinished();
    }
};

TEST_F(DataControls, EditorsShowTheCurrentRowAndWriteIntoTheDataset)
{
    addRecord({kJournal, 1, "A", 1, "Первая", kMorning});
    addRecord({kJournal, 2, "B", 2, "Вторая", kMorning});
    auto form = bound("  object Edit: TDBEdit\n    DataField = 'COMMENT'\n  end\n"
                      "  object Memo: TDBMemo\n    DataField = 'COMMENT'\n  end\n"
                      "  object Check: TDBCheckBox\n    DataField = 'CODE'\n"
                      "    ValueChecked = 'B'\n    ValueUnchecked = 'A'\n  end\n"
                      "  object State: TDBText\n    DataField = 'S_STATE'\n  end");
    auto* edit = Named<QLineEdit>(form.get(), "Edit");
    auto* memo = Named<QPlainTextEdit>(form.get(), "Memo");
    auto* check = Named<QCheckBox>(form.get(), "Check");
    auto* state = Named<QLabel>(form.get(), "State");
    EXPECT_EQ(edit->text(), "Первая");
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(state->text(), "Открыта");

    records.next();
    EXPECT_EQ(edit->text(), "Вторая");
    EXPECT_EQ(memo->toPlainText(), "Вторая");
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(state->text(), "Закрыта");

    type(edit, "Новая");
    EXPECT_EQ(records.state(), platform::DataSetState::Edit);
    EXPECT_EQ(field("COMMENT")->asString(), "Новая");
    EXPECT_EQ(memo->toPlainText(), "Новая");

    memo->setPlainText("строка 1\nстрока 2");
    memo->document()->setModified(true);
    QFocusEvent leave(QEvent::FocusOut);
    QApplication::sendEvent(memo, &leave);
    EXPECT_EQ(field("COMMENT")->asString(), "строка 1\r\nстрока 2");

    check->click();
    EXPECT_EQ(field("CODE")->asString(), "A");

    field("COMMENT")->setReadOnly(true);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_TRUE(memo->isReadOnly());
    field("COMMENT")->setVisible(false);
    EXPECT_TRUE(edit->isHidden());
    EXPECT_TRUE(memo->isHidden());
}

TEST_F(DataControls, RefusedValueIsShownAndTheFieldKeepsItsValue)
{
    addRecord({kJournal, 1, "A", 1, "Было", kMorning});
    grant("ALL=r\r\nCOMMENT=r,w(ALL>Да)\r\n");
    field("COMMENT")->setDisplayLabel("Содержание");
    auto form = bound("  object Edit: TDBEdit\n    DataField = 'COMMENT'\n  end\n"
                      "  object Code: TDBEdit\n    DataField = 'CODE'\n  end");
    auto* edit = Named<QLineEdit>(form.get(), "Edit");
    auto* code = Named<QLineEdit>(form.get(), "Code");
    MessageRecorder shown;
    type(edit, "Нет");
    EXPECT_EQ(shown.texts(), QStringList{"Недопустимое значение для поля \"Содержание\""});
    EXPECT_EQ(field("COMMENT")->asString(), "Было");
    EXPECT_EQ(edit->text(), "Было");

    // A field without the write right takes nothing and says nothing.
    EXPECT_TRUE(code->isReadOnly());
    type(code, "Z");
    EXPECT_EQ(shown.texts().size(), 1);
    EXPECT_EQ(field("CODE")->asString(), "A");
    EXPECT_EQ(code->text(), "A");
}

TEST_F(DataControls, LookupListWritesTheKeyOfTheChosenResult)
{
    addRecord({kJournal, 1, "A", 1, "Текст", kMorning});
    auto form = bound("  object State: TdxDBLookupEdit\n    DataField = 'S_STATE'\n  end");
    auto* combo = Named<QComboBox>(form.get(), "State");
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), "Закрыта");
    EXPECT_EQ(combo->currentText(), "Открыта");
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(field("STATE")->asInteger(), 2);
    EXPECT_EQ(combo->currentText(), "Закрыта");
}

TEST_F(DataControls, DateAndTimeEditorsChangeTheirPartOfOneDateTime)
{
    addRecord({kJournal, 1, "A", 1, "Текст", kMorning});
    auto form = bound("  object Date: TdxDBDateEditEx\n    DataField = 'DATE1'\n  end\n"
                      "  object Time: TdxDBTimeEditEx\n    DataField = 'DATE1'\n  end\n"
                      "  object Plain: TDBDateEdit\n    DataField = 'DATE1'\n  end\n"
                      "  object Whole: TDBEdit\n    DataField = 'DATE1'\n  end");
    auto* date = Named<QLineEdit>(form.get(), "Date");
    auto* time = Named<QLineEdit>(form.get(), "Time");
    EXPECT_EQ(date->text(), "05.03.2024");
    EXPECT_EQ(time->text(), "10:30");
    EXPECT_EQ(Named<QLineEdit>(form.get(), "Plain")->text(), "05.03.2024");
    EXPECT_EQ(Named<QLineEdit>(form.get(), "Whole")->text(), "05.03.2024 10:30");

    struct Case {
        const char* editor;
        QString text;
        QDateTime expected;
        QString message;
    };
    const std::vector<Case> cases = {
        {"Date", "06.03.2024", QDateTime(QDate(2024, 3, 6), QTime(10, 30)), {}},
        {"Time", "11:45", QDateTime(QDate(2024, 3, 6), QTime(11, 45)), {}},
        {"Whole", "07.04.2025 08:05", QDateTime(QDate(2025, 4, 7), QTime(8, 5)), {}},
        {"Date", "31.02.2024", QDateTime(QDate(2025, 4, 7), QTime(8, 5)),
         "'31.02.2024' is not a valid date"},
        {"Time", "25:00", QDateTime(QDate(2025, 4, 7), QTime(8, 5)), "'25:00' is not a valid time"},
        {"Time", "", QDateTime(QDate(2025, 4, 7), QTime(0, 0)), {}},
        {"Date", "", QDateTime(), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1 %2").arg(c.editor, c.text).toStdString());
        MessageRecorder shown;
        type(Named<QLineEdit>(form.get(), c.editor), c.text);
        EXPECT_EQ(field("DATE1")->asDateTime(), c.expected);
        EXPECT_EQ(shown.texts(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
    }
    EXPECT_EQ(date->text(), "");
    EXPECT_EQ(time->text(), "");
}

TEST_F(DataControls, GridShowsItsColumnsAndFollowsTheCursor)
{
    addRecord({kJournal, 1, "B", 1, "Первая", kMorning});
    addRecord({kJournal, 2, "C", 2, "Вторая", kMorning.addDays(1)});
    addRecord({kJournal, 3, "A", 1, "Третья", kMorning.addDays(2)});
    auto form = bound("  object Grid: TUGrid\n"
                      "    object ColText: TdxDBTreeListColumn\n"
                      "      FieldName = 'COMMENT'\n      Caption = 'Текст'\n      Width = 120\n"
                      "    end\n"
                      "    object ColCode: TdxDBTreeListColumn\n      FieldName = 'CODE'\n    end\n"
                      "    object ColDate: TdxDateColumnEx\n      FieldName = 'DATE1'\n    end\n"
                      "  end\n"
                      "  object Plain: TDBGrid\n  end");
    auto* grid = Named<TUGrid>(form.get(), "Grid");
    QAbstractItemModel* rows = grid->model();
    QAbstractItemModelTester tester(grid->recordModel(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(rows->rowCount(), 3);
    ASSERT_EQ(rows->columnCount(), 3);
    EXPECT_EQ(rows->headerData(0, Qt::Horizontal).toString(), "Текст");
    EXPECT_EQ(rows->headerData(1, Qt::Horizontal).toString(), "CODE");
    EXPECT_EQ(rows->index(2, 0).data().toString(), "Третья");
    EXPECT_EQ(rows->index(0, 2).data().toString(), "05.03.2024 10:30");
    EXPECT_EQ(grid->columnWidth(0), 120);
    EXPECT_EQ(grid->currentIndex().row(), 0);

    grid->setCurrentIndex(rows->index(1, 0));
    EXPECT_EQ(records.recNo(), 1);
    records.last();
    EXPECT_EQ(grid->currentIndex().row(), 2);

    // Sorted by its own value, the dates run backwards; the shown row
    // still moves the cursor to its record.
    grid->horizontalHeader()->setSortIndicator(2, Qt::DescendingOrder);
    EXPECT_EQ(rows->index(0, 0).data().toString(), "Третья");
    grid->setCurrentIndex(rows->index(2, 0));
    EXPECT_EQ(records.recNo(), 0);
    records.setRecNo(1);
    EXPECT_EQ(grid->currentIndex().row(), 1);

    // A grid without columns shows every visible field under its label.
    field("COMMENT")->setDisplayLabel("Содержание");
    field("PHOTO")->setVisible(false);
    QAbstractItemModel* plain = Named<DataGrid>(form.get(), "Plain")->model();
    EXPECT_EQ(plain->columnCount(), records.fieldCount() - 1);
    EXPECT_EQ(plain->headerData(4, Qt::Horizontal).toString(), "Содержание");
    EXPECT_EQ(plain->index(1, 4).data().toString(), "Вторая");
}

TEST_F(DataControls, RecordGridOpensTheRecordForViewingOnly)
{
    auto form = ReadForm("  object Grid: TUGrid\n"
                         "    object C: TdxDBTreeListColumn\n      FieldName = 'COMMENT'\n    end\n"
                         "  end");
    int opened = 0;
    bool readOnlyWhileOpen = false;
    FormContext c = context();
    c.editRecord = [&](platform::DataSet& ds) {
        ++opened;
        readOnlyWhileOpen = ds.readOnly();
        if (ds.fieldByName("CODE")->asString() == "X")
            throw platform::Error("Ошибка формы");
    };
    SetUDataSet(*form, &records, c);
    auto* grid = Named<TUGrid>(form.get(), "Grid");
    auto doubleClick = [&] {
        QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &click);
    };

    MessageRecorder shown;
    doubleClick();
    ASSERT_EQ(shown.messages().size(), 1);
    EXPECT_EQ(shown.messages()[0].caption, "Внимание");
    EXPECT_EQ(shown.messages()[0].icon, platform::MsgIcon::Warning);
    EXPECT_EQ(shown.messages()[0].text, "В таблице нет ни одной записи");
    EXPECT_EQ(opened, 0);

    addRecord({kJournal, 1, "A", 1, "Текст", kMorning});
    addRecord({kJournal, 2, "X", 1, "Текст", kMorning});
    doubleClick();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(readOnlyWhileOpen);
    EXPECT_FALSE(records.readOnly());

    records.last();
    doubleClick();
    EXPECT_EQ(opened, 2);
    EXPECT_FALSE(records.readOnly());
    EXPECT_EQ(shown.texts().last(), "Ошибка формы");
}

TEST_F(DataControls, SignButtonGivesTheRecordAndTheUser)
{
    addRecord({kJournal, 12, "A", 1, "Текст", kMorning});
    addRecord({kJournal, QVariant(), "B", 1, "Текст", kMorning});
    auto form = ReadForm("  object Sign: TSignButton\n  end");
    QList<std::pair<int, int>> calls;
    FormContext c = context();
    c.showSignatures = [&](int recId, int uid) { calls.append({recId, uid}); };
    SetUDataSet(*form, &records, c);
    database::LogOn().CurrentUID = 5;
    auto* sign = Named<TSignButton>(form.get(), "Sign");
    sign->click();
    records.next();
    sign->click();
    database::LogOn().CurrentUID = -1;
    EXPECT_EQ(calls, (QList<std::pair<int, int>>{{12, 5}, {0, 5}}));
}

TEST_F(DataControls, EquipmentChooserWritesTheChosenPathOnlyWhileEditing)
{
    catalogue::EquipmentTree tree;
    catalogue::EquipmentNode* ps = tree.add(nullptr);
    ps->caption = "Подстанция";
    ps->info.FullPath = "PS`";
    catalogue::EquipmentNode* t1 = tree.add(ps);
    t1->caption = "Трансформатор";
    t1->info.FullPath = "PS`T1`";
    catalogue::EquipmentChooserTree chooser;
    chooser.refill(tree);

    addRecord({kJournal, 1, "A", 1, "Текст", kMorning, "PS`"});
    auto form = ReadForm("  object Object: TEQRefCombo\n    DataField = 'E_OBJECT'\n  end");
    FormContext c = context();
    c.chooser = &chooser;
    SetUDataSet(*form, &records, c);
    auto* combo = Named<TEQRefCombo>(form.get(), "Object");
    EXPECT_EQ(combo->currentText(), "Подстанция ");

    auto choose = [&](const QString& path) {
        combo->showPopup();
        QTreeView* view = ChooserTreeView(*combo);
        EXPECT_TRUE(view && view->isVisible());
        if (!view)
            return QString();
        auto* model = static_cast<catalogue::TreeModel*>(view->model());
        const QString selected = model->node(view->currentIndex())->fullPath();
        const catalogue::TreeNode* node = catalogue::FindNodeByPath(chooser.tree().first(), path);
        view->setCurrentIndex(model->indexOf(node));
        emit view->doubleClicked(view->currentIndex());
        EXPECT_FALSE(view->isVisible());
        return selected;
    };

    // Browsing: the choice is rejected.
    EXPECT_EQ(choose("PS`T1`"), "PS`");
    EXPECT_EQ(field("OBJECT")->asString(), "PS`");
    EXPECT_EQ(combo->fullPath(), "");

    records.edit();
    EXPECT_EQ(choose("PS`T1`"), "PS`");
    EXPECT_EQ(field("OBJECT")->asString(), "PS`T1`");
    EXPECT_EQ(combo->fullPath(), "PS`T1`");
    EXPECT_EQ(combo->currentText(), "Подстанция Трансформатор ");

    // Closed without choosing: nothing changes.
    combo->showPopup();
    EXPECT_EQ(ChooserTreeView(*combo)->currentIndex().data().toString(), "Трансформатор");
    combo->hidePopup();
    EXPECT_FALSE(ChooserTreeView(*combo)->isVisible());
    EXPECT_EQ(field("OBJECT")->asString(), "PS`T1`");

    // A key field that may not be written drops nothing down.
    field("OBJECT")->setReadOnly(true);
    combo->showPopup();
    EXPECT_FALSE(ChooserTreeView(*combo)->isVisible());
}

TEST_F(DataControls, ExtendedGridsShowTheGroupingPrompt)
{
    auto form = bound("  ClientWidth = 500\n  ClientHeight = 300\n"
                      "  object Grouped: TdxDBGrid\n    Align = alClient\n"
                      "    ShowGroupPanel = True\n"
                      "    object C: TdxDBTreeListColumn\n      FieldName = 'COMMENT'\n    end\n"
                      "  end");
    form->setAttribute(Qt::WA_DontShowOnScreen);
    form->show();
    auto* grid = Named<DataGrid>(form.get(), "Grouped");
    const QString prompt = " Перетащите сюда заголовок столбца для группировки по нему";
    QLabel* panel = nullptr;
    for (QLabel* label : grid->findChildren<QLabel*>())
        if (label->text() == prompt)
            panel = label;
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_LE(panel->geometry().bottom(), grid->horizontalHeader()->geometry().top());

    auto plain = bound("  object Plain: TdxDBGrid\n  end");
    for (QLabel* label : Named<DataGrid>(plain.get(), "Plain")->findChildren<QLabel*>())
        EXPECT_NE(label->text(), prompt);
}

} // namespace
