// Binding a stored form to a record dataset: field rights, value rules, the
// lock-down of signed records and the binding of the form's controls.

#include "BoundFormFixture.h"
#include "ComponentControls.h"
#include "DataModuleFixture.h"
#include "DataSource.h"
#include "Error.h"
#include "MagCtrls.h"
#include "StoredForms.h"
#include "TDBStream.h"

#include <QLineEdit>

using namespace editing;
using platform::Field;

namespace
{

class FormBinding : public BoundFormTest
{
};

TEST_F(FormBinding, TransitionRulesDecideWhichValuesMayBeWritten)
{
    struct Case {
        const char* word;  // the "w" word of CODE
        QVariant current;  // CODE when the form is bound
        const char* value; // what is then written
        bool accepted;
    };
    const QVariant null;
    const std::vector<Case> cases = {
        {"w(ALL>1;0>2)", "0", "1", true},
        {"w(ALL>1;0>2)", "0", "2", false},
        {"w(ALL>1;0>2)", "0", "", true},
        {"w(0>1)", "5", "1", false},
        {"w(0>1)", "5", "NOPE", true},
        {"w(0>1)", "5", "", true},
        {"w(0>1||2)", "0", "1", true},
        {"w(0>1||2)", "0", "2", false},
        {"w(0>)", "0", "1", false},
        {"w(1>2;;ALL>3)", "5", "3", false},
        {"w(NULL>0;0>1|2;1>2)", null, "0", true},
        {"w(NULL>0;0>1|2;1>2)", null, "1", false},
        {"w(NULL>0;0>1|2;1>2)", "2", "1", false},
        {"w", "0", "7", true},
        {"w()", "0", "7", true},
    };
    field("CODE")->setDisplayLabel("Код");
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1 holding %2, writing '%3'")
                         .arg(c.word, c.current.toString(), c.value)
                         .toStdString());
        records.close();
        records.open();
        addRecord({kJournal, QVariant(), c.current, 1, "", QVariant()});
        grant(QString("ALL=r\r\nCODE=r,") + c.word + "\r\n");
        auto form = bound("");
        records.edit();
        QString refusal;
        try {
            field("CODE")->setValue(QString(c.value));
        } catch (const platform::Error& e) {
            refusal = e.text();
        }
        EXPECT_EQ(refusal,
                  c.accepted ? QString() : QString("Недопустимое значение для поля \"Код\""));
        EXPECT_EQ(field("CODE")->asString(), c.accepted ? QString(c.value) : c.current.toString());
        records.cancel();
    }
}

TEST_F(FormBinding, RuleIsChosenOnceFromTheValueAtBinding)
{
    addRecord({kJournal, 1, "0", 1, "", QVariant()});
    grant("ALL=r\r\nCODE=r,w(0>1;1>2)\r\n");
    auto form = bound("");
    records.edit();
    field("CODE")->setValue("1");
    EXPECT_THROW(field("CODE")->setValue("2"), platform::Error);
    // The rule stays on the field after the form is gone.
    form.reset();
    EXPECT_EQ(field("CODE")->allowedValues, "1");
    EXPECT_THROW(field("CODE")->setValue("2"), platform::Error);
}

TEST_F(FormBinding, FieldsFollowTheRightsAndLookupsTheirKeyFields)
{
    addRecord({kJournal, 1, "0", 1, "Текст", QVariant()});
    struct Expect {
        const char* field;
        bool visible;
        bool readOnly;
        bool rule;
    };
    struct Case {
        const char* permissions;
        std::vector<Expect> expect;
    };
    const std::vector<Case> cases = {
        {"ALL=r,w\r\nSTATE=r\r\nCOMMENT=w\r\n",
         {{"STATE", true, true, false},
          {"S_STATE", true, true, false},
          {"COMMENT", false, false, false},
          {"CODE", true, false, false}}},
        {"ALL=r\r\nSTATE=r,w(ALL>2)\r\n",
         {{"STATE", true, false, true},
          {"S_STATE", true, false, false},
          {"COMMENT", true, true, false}}},
        {"STATE=w\r\n",
         {{"STATE", false, false, false},
          {"S_STATE", false, false, false},
          {"RECID", false, true, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.permissions);
        grant(c.permissions);
        auto form = bound("");
        for (const Expect& e : c.expect) {
            SCOPED_TRACE(e.field);
            EXPECT_EQ(field(e.field)->visible(), e.visible);
            EXPECT_EQ(field(e.field)->readOnly(), e.readOnly);
            EXPECT_EQ(field(e.field)->hasValidator(), e.rule);
        }
    }
}

TEST_F(FormBinding, RecordWithoutAJournalPathKeepsItsFieldsAsTheyWere)
{
    addRecord({QVariant(), 1, "0", 1, "Текст", QVariant()});
    field("COMMENT")->setVisible(false);
    grant("");
    auto form = bound("  object E: TDBEdit\n    DataField = 'CODE'\n  end");
    EXPECT_FALSE(field("COMMENT")->visible());
    EXPECT_TRUE(field("CODE")->visible());
    EXPECT_FALSE(field("CODE")->readOnly());
    EXPECT_EQ(Named<QLineEdit>(form.get(), "E")->text(), "0");
}

TEST_F(FormBinding, ControlsOfMissingFieldsEndDisabledWithoutAField)
{
    addRecord({kJournal, 1, "0", 1, "Текст", QVariant()});
    auto form = bound("  object Missing: TDBEdit\n    DataField = 'NOSUCH'\n  end\n"
                      "  object WrongCase: TDBEdit\n    DataField = 'comment'\n  end\n"
                      "  object Panel: TPanel\n"
                      "    object Present: TDBEdit\n      DataField = 'COMMENT'\n    end\n"
                      "  end");
    for (const char* name : {"Missing", "WrongCase"}) {
        SCOPED_TRACE(name);
        auto* edit = Named<DataEdit>(form.get(), name);
        EXPECT_EQ(edit->dataField(), "");
        EXPECT_EQ(edit->dataSource(), nullptr);
        EXPECT_FALSE(edit->isEnabled());
    }
    auto* present = Named<DataEdit>(form.get(), "Present");
    EXPECT_EQ(present->dataSource(), form->formDataSource());
    EXPECT_TRUE(present->isEnabled());
    EXPECT_EQ(present->text(), "Текст");
}

TEST_F(FormBinding, ControlsAndColumnsFollowTheirFieldsVisibility)
{
    addRecord({kJournal, 1, "0", 1, "Текст", QVariant()});
    grant("ALL=r,w\r\nCOMMENT=w\r\n");
    auto form = bound("  object Edit: TDBEdit\n    DataField = 'COMMENT'\n  end\n"
                      "  object Grid: TUGrid\n"
                      "    object ColCode: TdxDBTreeListColumn\n      FieldName = 'CODE'\n    end\n"
                      "    object ColText: TdxDBTreeListColumn\n      FieldName = 'COMMENT'\n"
                      "    end\n"
                      "    object ColNone: TdxDBTreeListColumn\n      FieldName = 'NOSUCH'\n"
                      "      Visible = False\n    end\n"
                      "  end");
    auto* edit = Named<QWidget>(form.get(), "Edit");
    auto* grid = Named<TUGrid>(form.get(), "Grid");
    EXPECT_TRUE(edit->isHidden());
    EXPECT_EQ(grid->dataSource(), form->formDataSource());
    EXPECT_FALSE(grid->isColumnHidden(0));
    EXPECT_TRUE(grid->isColumnHidden(1));
    EXPECT_TRUE(grid->isColumnHidden(2));

    field("COMMENT")->setVisible(true);
    EXPECT_FALSE(edit->isHidden());
    EXPECT_FALSE(grid->isColumnHidden(1));
    EXPECT_TRUE(grid->isColumnHidden(2));
}

TEST_F(FormBinding, UnbindingDisposesOfTheDataSource)
{
    addRecord({kJournal, 1, "0", 1, "Текст", QVariant()});
    auto form = bound("  object Edit: TDBEdit\n    DataField = 'COMMENT'\n  end");
    QPointer<QObject> first = form->formDataSource();
    SetUDataSet(*form, &records, context());
    EXPECT_TRUE(first.isNull());
    SetUDataSet(*form, nullptr, context());
    EXPECT_EQ(form->formDataSource(), nullptr);
    EXPECT_EQ(FormDataSetOf(form.get()), nullptr);
    EXPECT_EQ(Named<QLineEdit>(form.get(), "Edit")->text(), "");
}

// ---- with a database: signatures, saving and stored forms

class FormBindingOnDatabase : public DataModuleTest
{
protected:
    void SetUp() override
    {
        DataModuleTest::SetUp();
        InstallDataControls();
        addJournal("J`", "Журнал");
        addReference("STATES", {"Открыта", "Закрыта"});
        addConform("J`", "STATE", "Состояние", "STATES (Состояния)");
        dm->ConformsTable->open();
        catalogue::JournalNode* node = journals.add(nullptr);
        node->info.FullPath = "J`";
        node->info.Permissions = "ALL=r,w\r\n";
    }

    FormContext context()
    {
        FormContext c;
        c.dm = dm.get();
        c.journals = &journals;
        return c;
    }

    void sign(int recId)
    {
        exec("INSERT INTO HISTORY (IDX, RECID, KIND, UID, DATECREATE) VALUES (?, ?, 100, ?, ?)",
             {dm->MaxID("HISTORY", "IDX"), recId, kUser, QDateTime::currentDateTime()});
    }

    catalogue::JournalTree journals;
    MessageRecorder shown; // none is expected; recorded rather than shown
};

TEST_P(FormBindingOnDatabase, SignedRecordIsLockedDownButItsStateStaysEditable)
{
    const int signedId = createRecord("J`", {{"COMMENT", "Подписано"}, {"STATE", 1}});
    const int plainId = createRecord("J`", {{"COMMENT", "Не подписано"}, {"STATE", 1}});
    sign(signedId);
    const QString body = "  object Comment: TDBEdit\n    DataField = 'COMMENT'\n  end\n"
                         "  object Num: TDBEdit\n    DataField = 'NUM'\n  end\n"
                         "  object State: TDBEdit\n    DataField = 'STATE'\n  end\n"
                         "  object StateText: TdxDBLookupEdit\n    DataField = 'S_STATE'\n  end";
    struct Case {
        int recId;
        bool commentLocked;
    };
    for (const Case& c : {Case{signedId, true}, Case{plainId, false}}) {
        SCOPED_TRACE(c.recId);
        openJournal("J`");
        ASSERT_TRUE(dm->GRQuery->locate("RECID", c.recId));
        auto form = ReadForm(body);
        SetUDataSet(*form, dm->GRQuery, context());
        auto field = [&](const char* name) { return dm->GRQuery->fieldByName(name); };
        EXPECT_EQ(field("COMMENT")->readOnly(), c.commentLocked);
        EXPECT_FALSE(field("NUM")->readOnly()); // empty
        EXPECT_FALSE(field("STATE")->readOnly());
        EXPECT_FALSE(field("S_STATE")->readOnly());
        EXPECT_EQ(Named<QLineEdit>(form.get(), "Comment")->isReadOnly(), c.commentLocked);
    }
}

TEST_P(FormBindingOnDatabase, ConfirmButtonStoresWhatTheControlsChanged)
{
    const int recId = createRecord("J`", {{"COMMENT", "Было"}, {"STATE", 1}});
    openJournal("J`");
    auto form = ReadForm("  object Comment: TDBEdit\n    DataField = 'COMMENT'\n  end\n"
                         "  object OK: TOKButton\n  end");
    SetUDataSet(*form, dm->GRQuery, context());
    auto* edit = Named<QLineEdit>(form.get(), "Comment");
    edit->setText("Стало");
    edit->setModified(true);
    emit edit->editingFinished();
    EXPECT_EQ(dm->GRQuery->state(), platform::DataSetState::Edit);
    Named<TOKButton>(form.get(), "OK")->click();
    EXPECT_EQ(scalar("SELECT COMMENT FROM CORETABLE WHERE RECID=?", {recId}).toString(), "Стало");
    EXPECT_EQ(count("SELECT COUNT(*) FROM HISTORY WHERE RECID=? AND KIND=1", {recId}), 1);
}

TEST_P(FormBindingOnDatabase, StoredListFormShowsTheJournalsRecords)
{
    createRecord("J`", {{"COMMENT", "Первая"}, {"STATE", 1}});
    createRecord("J`", {{"COMMENT", "Вторая"}, {"STATE", 2}});
    database::TDBStream stream(*dm);
    stream.bytes() = CompileFormText("object ListForm: TUForm\n"
                                     "  ClientWidth = 400\n  ClientHeight = 200\n"
                                     "  object Grid: TUGrid\n    Align = alClient\n"
                                     "    object ColText: TdxDBTreeListColumn\n"
                                     "      FieldName = 'COMMENT'\n      Caption = 'Текст'\n"
                                     "      Width = 150\n    end\n"
                                     "    object ColState: TdxDBTreeListColumn\n"
                                     "      FieldName = 'S_STATE'\n    end\n"
                                     "  end\nend\n");
    stream.SaveToDB("J`", " ", database::RecordListForm);
    addJournal("J`SUB`", "Подчинённый");

    std::unique_ptr<TUForm> form = FindStoredForm(*dm, "J`SUB`", "", database::RecordListForm);
    ASSERT_NE(form, nullptr);
    openJournal("J`");
    SetUDataSet(*form, dm->GRQuery, context());
    auto* grid = Named<TUGrid>(form.get(), "Grid");
    QAbstractItemModel* rows = grid->model();
    ASSERT_EQ(rows->rowCount(), 2);
    EXPECT_EQ(rows->headerData(0, Qt::Horizontal).toString(), "Текст");
    EXPECT_EQ(rows->index(1, 0).data().toString(), "Вторая");
    EXPECT_EQ(rows->index(1, 1).data().toString(), "Закрыта");
    EXPECT_EQ(grid->columnWidth(0), 150);

    form->setAttribute(Qt::WA_DontShowOnScreen);
    form->show();
    const QImage image = form->grab().toImage();
    EXPECT_EQ(image.size(), QSize(400, 200));
    EXPECT_EQ(shown.texts(), QStringList());
}

INSTANTIATE_BACKENDS(FormBindingOnDatabase);

} // namespace
