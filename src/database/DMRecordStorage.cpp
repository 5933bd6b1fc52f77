// Saving and deleting journal records, their numbers and their history.
//
// One save or delete is one transaction. Numbers taken as MAX+1 (RECID, IDX)
// and automatic numbers (NEXTNUMS) are read and written while the transaction
// holds the numbering lock, so two workstations saving at once never get the
// same number; the primary keys of CORETABLE and HISTORY make any collision
// fail rather than store two rows with one number.

#include "DMUnit.h"
#include "DebugOutput.h"
#include "Error.h"
#include "Schema.h"

#include <QDateTime>

using namespace platform;

namespace database
{

namespace
{

const QStringList& coreFields()
{
    static const QStringList fields = QString::fromLatin1(kCoreFieldList).split(u',');
    return fields;
}

// Fields of the record dataset that are never stored: lookup texts and the
// key, which the database gives.
bool isUnstoredField(const QString& name)
{
    return name.startsWith(QLatin1String("S_")) || name.startsWith(QLatin1String("E_")) ||
           name == QLatin1String("RECID") || name == QLatin1String("DESCRIPTION") ||
           name == QLatin1String("FULLDESCRIPTION");
}

// Posts a dataset; a failure is logged as prefix + its text and raised.
void postLogged(DataSet& dataSet, const QString& prefix)
{
    try {
        dataSet.post();
    } catch (const std::exception& e) {
        DebugLine(prefix + ErrorText(e));
        throw;
    }
}

} // namespace

void TDM::lockForNumbering(const QString& table)
{
    if (m_current->dialect() == SqlDialect::PostgreSQL)
        m_current->execute(QStringLiteral("LOCK TABLE ") + table +
                           QStringLiteral(" IN EXCLUSIVE MODE"));
}

QString TDM::ExtTableOf(const QString& journalFullPath)
{
    auto q = newQuery();
    q->setReadOnly(true);
    SqlStatement s("select EXTTABLE from MAGS where FULLPATH=");
    s.quoted(TopLevelPath(journalFullPath));
    q->setSql(s);
    q->open();
    return q->isEmpty() ? QString()
                        : q->fieldByName(QStringLiteral("EXTTABLE"))->asString().trimmed();
}

void TDM::BeforeInsert(const QString& journalFullPath)
{
    NewRecordPending = true;
    GRQuery->append();
    GRQuery->fieldByName(QStringLiteral("FULLPATH"))->setValue(journalFullPath);
    GRQuery->post();
}

void TDM::UsrModify()
{
    if (!GRQuery->active() || GRQuery->state() == DataSetState::Browse || !GRQuery->modified())
        return;
    Field* state = GRQuery->fieldByName(QStringLiteral("STATE"));
    const bool stateChanged = !SameValue(state->oldValue(), state->value());
    if (state->isNull())
        state->setValue(0);
    GRQuery->post();
    const Field* fullPath = GRQuery->fieldByName(QStringLiteral("FULLPATH"));
    if (fullPath->isNull())
        return;

    // A row without a number is the new record, whatever became of an
    // earlier new record that was never saved.
    const bool isNew = GRQuery->fieldByName(QStringLiteral("RECID"))->isNull();
    const QString ext = ExtTableOf(fullPath->asString());
    Transaction transaction(*m_current);
    try {
        if (isNew)
            UsrInsert(ext);
        const qint64 recId = GRQuery->fieldByName(QStringLiteral("RECID"))->asInteger();
        const QString id = QString::number(recId);

        auto core = newQuery();
        core->setSql(QStringLiteral("SELECT * FROM Coretable WHERE RecID=") + id);
        core->open();
        core->edit();

        auto extension = newQuery();
        if (!ext.isEmpty()) {
            extension->setSql(QStringLiteral("SELECT * FROM ") + ext +
                              QStringLiteral(" WHERE RECID=") + id);
            extension->open();
            if (extension->isEmpty()) {
                extension->append();
                extension->fieldByName(QStringLiteral("RECID"))->setValue(recId);
                extension->post();
            }
            extension->edit();
        }

        UpdateTables(*core, *extension, *GRQuery);
        postLogged(*core, QStringLiteral("CORETABLE: "));
        if (extension->active())
            postLogged(*extension, ext + QStringLiteral(": "));
        try {
            if (isNew) {
                InsertHistory(int(recId), HistoryCreated, QString());
            } else {
                // A state code without a text in the reference gives an empty comment.
                const Field* stateText = GRQuery->findField(QStringLiteral("S_STATE"));
                InsertHistory(int(recId), HistoryChanged,
                              stateChanged && stateText ? stateText->asString() : QString());
            }
        } catch (const std::exception& e) {
            DebugLine(QStringLiteral("HISTORY: ") + ErrorText(e));
            throw;
        }
        transaction.commit();
    } catch (...) {
        // The row keeps what the user entered, without the failed save's numbers.
        if (isNew)
            GRQuery->cancel();
        throw;
    }
    if (isNew)
        GRQuery->post();
    NewRecordPending = false;
}

void TDM::UsrInsert(const QString& extTable)
{
    const QString path = GRQuery->fieldByName(QStringLiteral("FULLPATH"))->asString();
    lockForNumbering(QStringLiteral("CORETABLE"));
    const int recId = MaxID(QStringLiteral("Coretable"), QStringLiteral("RecID"));
    SqlStatement insert("INSERT INTO CoreTable (RecID,FullPath) VALUES (");
    insert.number(recId) << ",";
    insert.quoted(path) << ")";
    execSql(insert.emptyLiteralsAs());
    if (!extTable.isEmpty())
        execSql(ReplaceEmptyLiterals(QStringLiteral("INSERT INTO ") + extTable +
                                     QStringLiteral(" (RecID) VALUES (") + QString::number(recId) +
                                     u')'));

    // The numbers stay in the edit buffer until the save is committed.
    GRQuery->edit();
    GRQuery->fieldByName(QStringLiteral("RECID"))->setValue(recId);
    GRQuery->fieldByName(QStringLiteral("DATECREATE"))->setValue(QDateTime::currentDateTime());

    const QString root = TopLevelPath(path);
    auto numbers = newQuery();
    numbers->setReadOnly(true);
    SqlStatement select("select * from NEXTNUMS where FULLPATH=");
    select.quoted(root) << " and NEXTNUM>0";
    numbers->setSql(select);
    numbers->open();
    const Field* fieldName = numbers->fieldByName(QStringLiteral("FIELDNAME"));
    const Field* nextNum = numbers->fieldByName(QStringLiteral("NEXTNUM"));
    for (numbers->first(); !numbers->eof(); numbers->next()) {
        const qint64 n = nextNum->asInteger();
        if (n <= 0)
            continue;
        GRQuery->fieldByName(fieldName->asString())->setValue(n);
        SetNextNum(root, fieldName->asString(), n + 1);
    }
}

void TDM::SetNextNum(const QString& rootPath, const QString& fieldName, qint64 value)
{
    SqlStatement s("update NEXTNUMS set NEXTNUM=");
    s.number(value) << " where FullPath=";
    s.quoted(rootPath) << " and FieldName=";
    s.quoted(fieldName);
    Query1->setSql(s.emptyLiteralsAs());
    Query1->execSql();
}

void TDM::UpdateTables(DataSet& core, DataSet& ext, DataSet& source)
{
    DebugLine(QStringLiteral("UpdateTables start"));
    for (int i = 0; i < source.fieldCount(); ++i) {
        const Field* f = source.field(i);
        const QString& name = f->name();
        if (isUnstoredField(name))
            continue;
        try {
            if (coreFields().contains(name.toUpper())) {
                core.fieldByName(name)->setValue(f->value());
                DebugLine(QStringLiteral("CORE: ") + name);
            } else {
                ext.fieldByName(name)->setValue(f->value());
                DebugLine(QStringLiteral("ADDON: ") + name);
            }
        } catch (const std::exception& e) {
            DebugLine(QStringLiteral("ERR: ") + ErrorText(e));
        }
    }
    DebugLine(QStringLiteral("UpdateTables end"));
}

void TDM::InsertHistory(int recId, int kind, const QString& comment)
{
    Transaction transaction(*m_current);
    lockForNumbering(QStringLiteral("HISTORY"));
    const int idx = MaxID(QStringLiteral("History"), QStringLiteral("idx"));
    auto q = newQuery();
    q->setAutoCalcFields(false);
    q->setSql(QStringLiteral("select * from History where Idx=0"));
    q->open();
    q->append();
    q->fieldByName(QStringLiteral("RECID"))->setValue(recId);
    q->fieldByName(QStringLiteral("IDX"))->setValue(idx);
    q->fieldByName(QStringLiteral("KIND"))->setValue(kind);
    q->fieldByName(QStringLiteral("DATECREATE"))->setValue(QDateTime::currentDateTime());
    // An empty comment is stored as NULL, as every empty value.
    q->fieldByName(QStringLiteral("COMMENT"))
        ->setValue(comment.isEmpty() ? QVariant() : QVariant(comment));
    q->fieldByName(QStringLiteral("UID"))->setValue(LogOn().CurrentUID);
    q->post();
    transaction.commit();
}

void TDM::UsrDelete()
{
    const Field* recIdField = GRQuery->fieldByName(QStringLiteral("RECID"));
    if (!recIdField->isNull()) {
        const QString id = QString::number(recIdField->asInteger());
        const QString ext =
            ExtTableOf(GRQuery->fieldByName(QStringLiteral("FULLPATH"))->asString());
        Transaction transaction(*m_current);
        m_current->execute(QStringLiteral("DELETE FROM  CoreTable WHERE RecID=") + id);
        if (!ext.isEmpty())
            m_current->execute(QStringLiteral("DELETE FROM ") + ext +
                               QStringLiteral(" WHERE RecID=") + id);
        m_current->execute(QStringLiteral("DELETE FROM  History WHERE RecID=") + id);
        transaction.commit();
    }
    GRQuery->deleteRecord();
}

bool TDM::RecSigned(int recId)
{
    Query->close();
    Query->setSql(QStringLiteral("Select IDX from HISTORY where KIND=100 and RecID=") +
                  QString::number(recId));
    Query->open();
    const bool signedRecord = !Query->isEmpty();
    Query->close();
    return signedRecord;
}

bool TDM::RecExists(int recId, QString& fullDescription, QString& comment)
{
    Query->close();
    Query->setSql(
        QStringLiteral(
            "Select RecID, FULLDESCRIPTION, COMMENT from CORETABLE,MAGS\r\nwhere RecID=") +
        QString::number(recId) + QStringLiteral("\r\nand CORETABLE.FULLPATH = MAGS.FULLPATH"));
    Query->open();
    const bool exists = !Query->isEmpty();
    if (exists) {
        fullDescription = Query->fieldByName(QStringLiteral("FULLDESCRIPTION"))->asString();
        comment = Query->fieldByName(QStringLiteral("COMMENT"))->asString();
    }
    Query->close();
    return exists;
}

} // namespace database
