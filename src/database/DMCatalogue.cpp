// Catalogue maintenance: journals (MAGS), extension tables, field
// descriptions (CONFORMS), references (REFS and their tables) and the
// equipment tree (EQUIPMENT).
//
// Values travel as bound values (SqlStatement::quoted), so an apostrophe in a
// name can neither break nor change a statement; "with replacement" below is
// the empty-literal replacement that stores empty values as NULL. Paths
// select a branch by an exact prefix test, so "_" and "%" in an identifier
// match only themselves.

#include "DMUnit.h"
#include "Error.h"
#include "Messages.h"
#include "Schema.h"

#include <QHash>

using namespace platform;

namespace database
{

namespace
{

const char* const kEquipmentCache = "RefDSEQRef";
const char* const kReferencePrefix = "RefDS";
const char* const kCannotAddReference = "Невозможно добавить справочник";
const char* const kEmptyJournalPath = "No journal path given: nothing is deleted";
const char* const kEmptyEquipmentPath = "No equipment path given: nothing is deleted";

// Runs a statement and ignores its failure (the steps that the catalogue
// editors may repeat without harm).
void ignoringErrors(const std::function<void()>& step)
{
    try {
        step();
    } catch (const std::exception&) {
    }
}

// Whether a statement opens; never raises.
bool opens(TDM& dm, const QString& text)
{
    try {
        auto q = dm.newQuery();
        q->setReadOnly(true);
        q->setSql(text);
        q->open();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// "RefName" linked to reference table: REFNAME is the table's name alone or
// followed by a blank and the display name. Another reference whose name
// merely begins with table's name is not linked to it.
void linkedToReference(SqlStatement& s, const QString& table)
{
    s << "(RefName = ";
    s.quoted(table) << " or ";
    s.startsWith(QStringLiteral("RefName"), table + u' ') << ")";
}

QVariant nullWhenEmpty(const QString& text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

void setEquipmentRow(DataSet& cache, const QString& fullPath, const QString& fullDescription,
                     const QString& description, const QString& code)
{
    cache.fieldByName(QStringLiteral("FULLPATH"))->setValue(nullWhenEmpty(fullPath));
    cache.fieldByName(QStringLiteral("FULLDESCRIPTION"))->setValue(nullWhenEmpty(fullDescription));
    cache.fieldByName(QStringLiteral("DESCRIPTION"))->setValue(nullWhenEmpty(description));
    cache.fieldByName(QStringLiteral("CODE"))->setValue(nullWhenEmpty(code));
    cache.post();
}

} // namespace

void TDM::refreshConforms()
{
    if (ConformsTable->active())
        ConformsTable->refresh();
}

// --- journals and extension tables ------------------------------------------------

void TDM::InsertMags(const QString& description, const QString& fullPath,
                     const QString& fullDescription, int noConforms)
{
    SqlStatement s("INSERT INTO Mags (Description,FullPath,FULLDESCRIPTION) VALUES (");
    s.quoted(description) << ", ";
    s.quoted(fullPath) << ", ";
    s.quoted(fullDescription) << ") ";
    execSql(s.emptyLiteralsAs());
    if (MagQuery->active())
        MagQuery->refresh();
    if (noConforms != 0)
        return;
    SqlStatement c("INSERT INTO Conforms  VALUES (");
    c.quoted(fullPath) << ", 'OBJECT' ,'Объект','Equipment (Оборудование)',null) ";
    execSql(c.emptyLiteralsAs());
    refreshConforms();
}

void TDM::UpdateMags(const QString& fullPath, const QString& description, const QString& extTable)
{
    SqlStatement s("UPDATE mags SET Description=");
    s.quoted(description) << ", ExtTable=";
    s.quoted(extTable) << " Where (fullpath=";
    s.quoted(fullPath) << ")";
    execSql(s.emptyLiteralsAs());
    if (MagQuery->active())
        MagQuery->refresh();
}

void TDM::UpdateFullDescription(const QList<QPair<QString, QString>>& nodesInTreeOrder,
                                const QString& table)
{
    QHash<QString, QString> descriptionOf;
    descriptionOf.reserve(nodesInTreeOrder.size());
    for (const auto& [path, description] : nodesInTreeOrder)
        if (!descriptionOf.contains(path))
            descriptionOf.insert(path, description);

    Query->close();
    Query->setSql(QStringLiteral("SELECT FullPath as FP from ") + table +
                  QStringLiteral(" order by FullPath"));
    Query->open();
    const Field* fp = Query->fieldByName(QStringLiteral("FP"));
    // One transaction: the rows are rewritten together or not at all, and the
    // embedded engine writes its file once.
    Transaction transaction(*m_current);
    for (Query->first(); !Query->eof(); Query->next()) {
        if (fp->isNull())
            continue;
        const auto it = descriptionOf.constFind(fp->asString());
        if (it == descriptionOf.constEnd())
            continue;
        SqlStatement s(QStringLiteral("UPDATE  ") + table +
                       QStringLiteral(" SET FullDescription="));
        s.quoted(*it) << " Where (fullpath=";
        s.quoted(fp->asString()) << ")";
        execSql(s.emptyLiteralsAs());
    }
    transaction.commit();
    Query->close();
    if (MagQuery->active())
        MagQuery->refresh();
}

void TDM::CascadingDelete(const QString& fullPath, const QString& extTable)
{
    if (fullPath.isEmpty())
        throw Error(QLatin1String(kEmptyJournalPath));
    // The existence checks come first: a failed probe would end a PostgreSQL
    // transaction.
    const bool dropExt = !extTable.isEmpty() && TableExist(extTable, m_current);
    // The extension rows of the deleted records go with them, so that a
    // record number given again later finds no stale row.
    const QString branchExt = ExtTableOf(fullPath);
    const bool clearExt = !branchExt.isEmpty() &&
                          !(dropExt && branchExt.compare(extTable, Qt::CaseInsensitive) == 0) &&
                          TableExist(branchExt, m_current);
    auto recordsOfBranch = [&](SqlStatement& s) {
        s << "( SELECT recid  FROM coretable WHERE ";
        s.startsWith(QStringLiteral("fullpath"), fullPath) << " )";
    };

    Transaction transaction(*m_current);
    SqlStatement history("DELETE FROM history WHERE recid IN\r\n");
    recordsOfBranch(history);
    execSql(history);
    if (clearExt) {
        SqlStatement ext(QStringLiteral("DELETE FROM ") + branchExt +
                         QStringLiteral(" WHERE RecID IN\r\n"));
        recordsOfBranch(ext);
        execSql(ext);
    }
    SqlStatement core("DELETE FROM coretable WHERE ");
    core.startsWith(QStringLiteral("fullpath"), fullPath);
    execSql(core);
    SqlStatement conforms("DELETE FROM conforms WHERE fullpath = ");
    conforms.quoted(fullPath);
    execSql(conforms);
    if (dropExt)
        m_current->execute(QStringLiteral("DROP TABLE ") + extTable);
    SqlStatement mags("DELETE FROM mags WHERE ");
    mags.startsWith(QStringLiteral("fullpath"), fullPath);
    execSql(mags);
    transaction.commit();
    refreshConforms();
    if (MagQuery->active())
        MagQuery->refresh();
}

void TDM::CreateUT(const QString& table)
{
    m_current->execute(ExtensionTableStatement(table));
}

void TDM::DeleteUT(const QString& table)
{
    Query->close();
    Query->setSql(QStringLiteral("Select * from ") + table + QStringLiteral(" where recid=0"));
    Query->open();
    const std::vector<FieldDef> columns = Query->fieldDefs();
    Query->close();
    auto second = newQuery();
    for (const FieldDef& column : columns) {
        // Descriptions name the column in whatever letter case they were made with.
        SqlStatement s("Delete from conforms where UPPER(FieldName)=");
        s.quoted(column.name.toUpper());
        second->setSql(s);
        second->execSql();
    }
    m_current->execute(QStringLiteral("DROP TABLE ") + table);
    refreshConforms();
}

void TDM::UTclear(const QString& table)
{
    if (table.isEmpty())
        return;
    auto q = newQuery();
    q->setReadOnly(true);
    SqlStatement s("Select * from  mags where ExtTable=");
    s.quoted(table);
    q->setSql(s);
    q->open();
    if (!q->isEmpty())
        return;
    const Message question{QString::fromUtf8(kWarningCaption),
                           QStringLiteral(" Таблица ") + table +
                               QStringLiteral(" не привязана к другим журналам. Удалить?"),
                           MsgIcon::Question, MsgButtons::OkCancel};
    if (ShowMessage(question) == MsgAnswer::Ok)
        DeleteUT(table);
}

void TDM::AlterUT(const QString& clause, const QString& fieldName, const QString& fullPath)
{
    m_current->execute(QStringLiteral("ALTER TABLE ") + clause);
    SqlStatement s("Delete from Conforms Where FullPath=");
    s.quoted(fullPath) << " and FieldName=";
    s.quoted(fieldName);
    execSql(s);
    refreshConforms();
}

bool TDM::UTExist(const QString& table)
{
    return !table.isEmpty() && opens(*this, QStringLiteral("Select RECID from ") + table +
                                                QStringLiteral(" where RECID=0"));
}

void TDM::OpenTable(const QString& table)
{
    Query->close();
    Query->setSql(QStringLiteral("SELECT * from ") + table + QStringLiteral(" where recid=0"));
    Query->open();
}

// --- field descriptions ---------------------------------------------------------------

void TDM::UpdateConforms(const QString& table, const QString& name)
{
    ignoringErrors([&] {
        SqlStatement s("UPDATE Conforms SET RefName=");
        s.quoted(table + QStringLiteral(" (") + name + u')') << "  WHERE ";
        linkedToReference(s, table);
        execSql(s.emptyLiteralsAs());
    });
    refreshConforms();
}

void TDM::DeleteConforms(const QString& fieldName, const QString& rootJournalPath)
{
    ignoringErrors([&] {
        SqlStatement s("delete from Conforms  where FULLPATH=");
        s.quoted(rootJournalPath) << " and FIELDNAME=";
        s.quoted(fieldName);
        Query1->setSql(s);
        Query1->execSql();
    });
    refreshConforms();
}

// --- references -----------------------------------------------------------------------

void TDM::AddReference(const QString& table, const QString& name)
{
    try {
        Transaction transaction(*m_current);
        m_current->execute(ReferenceTableStatement(table));
        if (!Refs->active())
            Refs->open();
        Refs->append();
        Refs->fieldByName(QStringLiteral("REFERENCETABLE"))->setValue(table);
        Refs->fieldByName(QStringLiteral("NAME"))->setValue(name);
        Refs->post();
        transaction.commit();
    } catch (const std::exception&) {
        // Neither the table nor the REFS row stays; the list shows the server's rows.
        Refs->cancel();
        ignoringErrors([&] {
            if (Refs->active())
                Refs->refresh();
        });
        ShowError(QString::fromUtf8(kCannotAddReference));
    }

    const QString datasetName = QLatin1String(kReferencePrefix) + table;
    if (findDataSet(datasetName))
        throw Error(QStringLiteral("A component named %1 already exists").arg(datasetName));
    auto cache = std::make_unique<platform::Query>();
    cache->setObjectName(datasetName);
    cache->setSql(QStringLiteral("Select * from  ") + table);
    cache->setServer(m_current);
    cache->setReadOnly(false);
    cache->open();
    cache.release()->setParent(this);
}

void TDM::DeleteReference(const QString& table)
{
    ARef->close();
    // Each step on its own: a table that is gone already must not keep its
    // REFS row and its links alive.
    ignoringErrors([&] { m_current->execute(QStringLiteral("DROP TABLE ") + table); });
    ignoringErrors([&] {
        SqlStatement s("UPDATE Conforms SET RefName='' WHERE ");
        linkedToReference(s, table);
        execSql(s.emptyLiteralsAs());
    });
    refreshConforms();
    ignoringErrors([&] {
        SqlStatement s("Delete from Refs WHERE ReferenceTable=");
        s.quoted(table);
        execSql(s);
    });
    // Lookup fields may still point at the dataset: it leaves the module's
    // names but lives as long as the module.
    if (DataSet* cache = findDataSet(QLatin1String(kReferencePrefix) + table))
        cache->setParent(m_detached);
    if (Refs->active())
        Refs->refresh();
}

bool TDM::RefExist(const QString& table)
{
    return !table.isEmpty() && opens(*this, QStringLiteral("Select * from ") + table +
                                                QStringLiteral(" where aCode=0"));
}

void TDM::OpenRefQuery()
{
    if (!Refs->active())
        return;
    ARef->close();
    ARef->setSql(
        ReplaceEmptyLiterals(QStringLiteral("Select * from ") +
                             Refs->fieldByName(QStringLiteral("REFERENCETABLE"))->asString()));
    ARef->open();
}

// --- equipment --------------------------------------------------------------------------

void TDM::AddEquipment(const QString& description, const QString& fullPath,
                       const QString& fullDescription, const QString& code)
{
    SqlStatement s("INSERT INTO Equipment (Description,FullPath,FullDescription,Code) VALUES (");
    s.quoted(description) << ", ";
    s.quoted(fullPath) << ", ";
    s.quoted(fullDescription) << ", ";
    s.quoted(code) << ") ";
    execSql(s.emptyLiteralsAs());
    // The cache follows only what the server accepted.
    DataSet* cache = findDataSet(QLatin1String(kEquipmentCache));
    if (cache && cache->active()) {
        cache->append();
        setEquipmentRow(*cache, fullPath, fullDescription, description, code);
    }
}

void TDM::UpdateEquipment(const QString& oldPath, const QString& newPath,
                          const QString& fullDescription, const QString& description,
                          const QString& code)
{
    SqlStatement s("UPDATE Equipment SET FullPath=");
    s.quoted(newPath) << ", FullDescription=";
    s.quoted(fullDescription) << ", Description=";
    s.quoted(description) << ", Code=";
    s.quoted(code) << " Where (fullpath =";
    s.quoted(oldPath) << ")";
    execSql(s.emptyLiteralsAs(QStringLiteral("null")));
    DataSet* cache = findDataSet(QLatin1String(kEquipmentCache));
    if (cache && cache->active() && cache->locate(QStringLiteral("FULLPATH"), oldPath)) {
        cache->edit();
        setEquipmentRow(*cache, newPath, fullDescription, description, code);
    }
}

void TDM::DeleteEquipment(const QString& fullPath)
{
    if (fullPath.isEmpty())
        throw Error(QLatin1String(kEmptyEquipmentPath));
    SqlStatement s("DELETE FROM equipment WHERE ");
    s.startsWith(QStringLiteral("fullpath"), fullPath);
    execSql(s.emptyLiteralsAs());
    Query->close();
}

} // namespace database
