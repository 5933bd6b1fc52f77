#pragma once
// A data module connected to a fresh database with the ten system tables, on
// every backend, and small builders for journals, references and equipment.

#include "DMUnit.h"
#include "Error.h"
#include "Schema.h"
#include "TestDatabase.h"

#include <QDateTime>
#include <QVariantList>
#include <gtest/gtest.h>
#include <memory>

class DataModuleTest : public BackendTest
{
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        dm = std::make_unique<database::TDM>(db->backend() == Backend::SQLite ? "test /BDE"
                                                                              : "test /RDA");
        dm->Timer1->stop();
        db->configure(*dm->currentServer());
        dm->currentServer()->open();
        database::CreateSystemTables(*dm->currentServer());
        database::LogOn().CurrentUID = kUser;
    }
    void TearDown() override
    {
        database::LogOn().CurrentUID = -1;
        dm.reset();
        BackendTest::TearDown();
    }

    static constexpr int kUser = 7;

    // Runs a statement on the test's own connection (not the data module's).
    void exec(const QString& text, const QVariantList& values = {})
    {
        server->execute(text, values);
    }
    // The first column of the first row, NULL when there is none.
    QVariant scalar(const QString& text, const QVariantList& values = {})
    {
        QSqlQuery q = server->execute(text, values);
        return q.next() ? q.value(0) : QVariant();
    }
    qint64 count(const QString& text, const QVariantList& values = {})
    {
        return scalar(text, values).toLongLong();
    }

    // A journal row; extTable is created (with columns "NAME type" each) when given.
    void addJournal(const QString& path, const QString& description, const QString& extTable = {},
                    const QStringList& columns = {})
    {
        exec("INSERT INTO MAGS (FULLPATH, DESCRIPTION, FULLDESCRIPTION, EXTTABLE) VALUES (?, ?, ?, "
             "?)",
             {path, description, description + "`",
              extTable.isEmpty() ? QVariant() : QVariant(extTable)});
        if (extTable.isEmpty())
            return;
        exec(database::ExtensionTableStatement(extTable));
        for (const QString& c : columns)
            exec("ALTER TABLE " + extTable + " ADD " + c);
    }
    void addConform(const QString& path, const QString& field, const QString& caption,
                    const QString& refName)
    {
        exec("INSERT INTO CONFORMS (FULLPATH, FIELDNAME, RUSNAME, REFNAME) VALUES (?, ?, ?, ?)",
             {path, field, caption.isEmpty() ? QVariant() : QVariant(caption),
              refName.isEmpty() ? QVariant() : QVariant(refName)});
    }
    // A reference table with codes 1, 2, ... and its cache dataset.
    void addReference(const QString& table, const QStringList& values)
    {
        exec(database::ReferenceTableStatement(table));
        exec("INSERT INTO REFS (NAME, REFERENCETABLE) VALUES (?, ?)", {table + " name", table});
        for (int i = 0; i < values.size(); ++i)
            exec("INSERT INTO " + table + " (aCode, aValue) VALUES (?, ?)", {i + 1, values[i]});
        auto* q = new platform::Query(dm.get());
        q->setObjectName("RefDS" + table);
        q->setServer(dm->currentServer());
        q->setSql("Select * from  " + table + " order by aCode");
        q->open();
    }
    void addEquipment(const QString& path, const QString& description, const QString& code)
    {
        exec("INSERT INTO EQUIPMENT (FULLPATH, DESCRIPTION, CODE, FULLDESCRIPTION) VALUES (?, ?, "
             "?, ?)",
             {path, description, code, description + "`"});
    }
    // The equipment cache as the reference cache builds it.
    platform::Query* loadEquipmentCache()
    {
        auto* q = new platform::Query(dm.get());
        q->setObjectName("RefDSEQRef");
        q->setAutoUpdate(false);
        q->setAutoCalcFields(false);
        q->addField(platform::FieldDef{"FULLPATH", platform::FieldType::String, 100});
        q->addField(platform::FieldDef{"DESCRIPTION", platform::FieldType::String, 50});
        q->addField(platform::FieldDef{"CODE", platform::FieldType::String, 50});
        q->addField(platform::FieldDef{"FULLDESCRIPTION", platform::FieldType::String, 200});
        q->setServer(dm->currentServer());
        q->setSql(
            "Select FULLPATH, DESCRIPTION, CODE, FULLDESCRIPTION from Equipment order by FULLPATH");
        q->open();
        return q;
    }

    // Opens the journal's records as the selection does.
    void openJournal(const QString& path, const QString& conditions = {},
                     const QVariantMap& params = {}, const QString& objectMask = {})
    {
        dm->OpenUserQuery(path, dm->ExtTableOf(path), objectMask, false, conditions, params);
    }
    // Creates a record as "Создать" and the record form do; returns its RECID.
    int createRecord(const QString& path, const QVariantMap& values)
    {
        dm->OpenUserQuery(path, dm->ExtTableOf(path), {}, true, {}, {});
        dm->BeforeInsert(path);
        dm->GRQuery->edit();
        for (auto it = values.begin(); it != values.end(); ++it)
            dm->GRQuery->fieldByName(it.key())->setValue(it.value());
        dm->UsrModify();
        return int(dm->GRQuery->fieldByName("RECID")->asInteger());
    }
    // The records' RECIDs in GRQuery order.
    QList<int> recIds() const
    {
        QList<int> ids;
        for (dm->GRQuery->first(); !dm->GRQuery->eof(); dm->GRQuery->next())
            ids.append(int(dm->GRQuery->fieldByName("RECID")->asInteger()));
        return ids;
    }

    std::unique_ptr<database::TDM> dm;
};
