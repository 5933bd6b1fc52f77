#pragma once
// What the binding and data control tests share: stored forms read from the
// component notation, a record dataset in memory with a state lookup, and a
// journal tree whose one journal carries the rights under test.

#include "ComponentRegistry.h"
#include "DataControls.h"
#include "DataSet.h"
#include "FormBinding.h"
#include "FormText.h"
#include "MessageRecorder.h"
#include "UsUnit.h"

#include <gtest/gtest.h>
#include <memory>

// A form read from the notation: "object F: TUForm", body, "end".
inline std::unique_ptr<editing::TUForm> ReadForm(const QString& body)
{
    std::unique_ptr<QObject> root =
        editing::ReadComponent(editing::CompileFormText("object F: TUForm\n" + body + "\nend\n"));
    auto* form = qobject_cast<editing::TUForm*>(root.get());
    if (form)
        root.release();
    return std::unique_ptr<editing::TUForm>(form);
}

template <typename T> T* Named(QObject* root, const char* name)
{
    T* found = dynamic_cast<T*>(root->findChild<QObject*>(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class BoundFormTest : public testing::Test
{
protected:
    static constexpr const char* kJournal = "J`";

    void SetUp() override
    {
        editing::InstallDataControls();
        states.addFieldDef("ACODE", platform::FieldType::Integer);
        states.addFieldDef("AVALUE", platform::FieldType::String, 50);
        states.open();
        states.appendRow({1, QString("Открыта")});
        states.appendRow({2, QString("Закрыта")});

        equipment.addFieldDef("FULLPATH", platform::FieldType::String, 100);
        equipment.addFieldDef("FULLDESCRIPTION", platform::FieldType::String, 200);
        equipment.open();
        equipment.appendRow({QString("PS`"), QString("Подстанция`")});
        equipment.appendRow({QString("PS`T1`"), QString("Подстанция`Трансформатор`")});

        records.addFieldDef("FULLPATH", platform::FieldType::String, 100);
        records.addFieldDef("RECID", platform::FieldType::Integer);
        records.addFieldDef("CODE", platform::FieldType::String, 10);
        records.addFieldDef("STATE", platform::FieldType::Integer);
        records.addFieldDef("COMMENT", platform::FieldType::String, 50);
        records.addFieldDef("DATE1", platform::FieldType::DateTime);
        records.addFieldDef("OBJECT", platform::FieldType::String, 100);
        records.addFieldDef("PHOTO", platform::FieldType::Blob);
        records.createFieldsFromDefs();
        platform::Field* state =
            records.addField(platform::FieldDef{"S_STATE", platform::FieldType::String, 150},
                             platform::FieldKind::Lookup);
        state->setLookup({&states, "STATE", "ACODE", "AVALUE"});
        platform::Field* object =
            records.addField(platform::FieldDef{"E_OBJECT", platform::FieldType::String, 150},
                             platform::FieldKind::Lookup);
        object->setLookup({&equipment, "OBJECT", "FULLPATH", "FULLDESCRIPTION"});
        records.fieldByName("DATE1")->setDisplayFormat("dd.MM.yyyy hh:mm");
        records.open();
        grant("ALL=r,w\r\n");
    }

    // A message that no test asked for is a failure (and would wait for an
    // answer if it were shown).
    void TearDown() override { EXPECT_EQ(unasked.texts(), QStringList()); }

    // The rows: FULLPATH, RECID, CODE, STATE, COMMENT, DATE1, OBJECT, PHOTO
    // (the missing ones NULL).
    void addRecord(const QVariantList& values)
    {
        records.appendRow(platform::DataSet::Row(values.begin(), values.end()));
    }

    // The one journal of the tree gets these prepared rights lines.
    void grant(const QString& permissions)
    {
        journals.clear();
        catalogue::JournalNode* node = journals.add(nullptr);
        node->info.FullPath = kJournal;
        node->info.Permissions = permissions;
    }

    editing::FormContext context()
    {
        editing::FormContext c;
        c.journals = &journals;
        return c;
    }

    std::unique_ptr<editing::TUForm> bound(const QString& body)
    {
        std::unique_ptr<editing::TUForm> form = ReadForm(body);
        if (form)
            editing::SetUDataSet(*form, &records, context());
        return form;
    }

    platform::Field* field(const char* name) { return records.fieldByName(name); }

    MessageRecorder unasked;
    platform::DataSet states;
    platform::DataSet equipment;
    platform::DataSet records;
    catalogue::JournalTree journals;
};
