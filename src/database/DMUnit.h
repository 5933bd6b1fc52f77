#pragma once
// TDM: the data module. It owns the three servers (one of them current), every
// dataset of the program, the reference cache datasets and the keep-alive
// timer; every SQL statement of the program runs through it.
//
// The operations live in files by concern: DMRecordQuery.cpp (the record
// dataset and its fields), DMRecordStorage.cpp (saving and deleting records,
// history), DMCatalogue.cpp (journals, extension tables, field descriptions,
// references, equipment).

#include "LogOnValues.h"
#include "Query.h"
#include "Server.h"
#include "SqlStatement.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QTimer>
#include <QVariantMap>
#include <functional>

namespace database
{

// The server kind named by a command line: the first of its words 1 to 30
// (split at single blanks, the program path being the first) equal to "/BDE"
// or "/RDA", ignoring letter case; ADO without one.
platform::ServerKind ChooseServerKind(const QString& commandLine);
// The program's whole command line as one text.
QString ProgramCommandLine();

// The path of the top-level journal (or equipment node) of a path: the path
// up to and including its first level separator; the whole path when it has
// none.
QString TopLevelPath(const QString& path);

// The text of a HISTORY kind as the history shows it ("Создана", ...; "???"
// for a kind that has none).
QString HistoryKindText(int kind);

class TDM : public QObject
{
    Q_OBJECT
public:
    // DataModuleCreate: chooses the current server from the command line and
    // attaches every dataset to it. Becomes the program's data module (DM()).
    explicit TDM(const QString& commandLine, QObject* parent = nullptr);
    ~TDM() override;

    platform::Server* ServerADO;
    platform::Server* ServerBDE;
    platform::Server* ServerTCP;
    platform::Server* currentServer() const { return m_current; }

    // The datasets of the module.
    platform::Query* GRQuery;  // records of the selected journal (edits stay in memory)
    platform::Query* Query;    // general statements, read-only
    platform::Query* Query1;   // NEXTNUMS updates and field-description deletes
    platform::Query* MagQuery; // journal names for lookup fields
    platform::Query* HistoryQ; // history of the current record
    platform::Table* ConformsTable;
    platform::Query* UsersTable; // "select * from PERSONS"
    platform::Table* Refs;
    platform::Query* ARef;
    QTimer* Timer1;

    // A dataset owned by the module, by component name ("RefDSSTATES").
    platform::DataSet* findDataSet(const QString& name) const;
    // A new query on the current server (the caller owns it).
    std::unique_ptr<platform::Query> newQuery() const;
    // Runs a statement on the current server.
    void execSql(const platform::SqlStatement& statement) const;

    // True when the ten system tables exist on the current server; the first
    // missing one ends the check (its name is then missingTable()).
    bool DBIsCorrect();
    QString missingTable() const { return m_missingTable; }
    // Whether a table opens on the server; never raises.
    static bool TableExist(const QString& table, platform::Server* server);
    // The next free number of a column: MAX+1, or 1 when the maximum is NULL
    // or below 1.
    int MaxID(const QString& table, const QString& field) const;

    // --- record query --------------------------------------------------------

    // Fills GRQuery with the records of a journal and of every journal below
    // it (exact prefix match on FULLPATH), joined with the extension table
    // extTable (none when empty), and adds the lookup fields of the journal's
    // top-level journal. objectMask, when not empty, keeps the records of that
    // equipment node and of every node below it. conditions is SQL text
    // beginning with "and" appended to the selection; params gives the values
    // of its parameters (":D1", ":D2"). emptyMode opens no rows but all
    // fields. Raises "Unable to retrieve query result: " + the server's text
    // when the selection fails.
    void OpenUserQuery(const QString& journalFullPath, const QString& extTable,
                       const QString& objectMask, bool emptyMode, const QString& conditions,
                       const QVariantMap& params);
    // Persistent fields from the dataset's field definitions; date-time
    // fields show the workstation's short date and short time.
    void AddFields(platform::DataSet& dataSet);
    // The lookup fields described by CONFORMS for the top-level journal
    // topPath: FULLDESCRIPTION and DESCRIPTION of the journal, E_ and C_ for
    // equipment fields, S_ for reference fields. A field described in
    // CONFORMS gets its RUSNAME as display label. Leaves ConformsTable
    // filtered on topPath. The dataset must be closed.
    void AddLookUpFields(const QString& topPath, platform::DataSet& dataSet);
    // The state reference dataset of a journal's top-level journal and, in
    // caption, the STATE field's RUSNAME; none (caption untouched) when the
    // journal has no STATE description with a reference.
    platform::DataSet* GetStateLookup(const QString& journalPath, QString& caption);
    // Opens Query on the first pieces of the stored forms of one kind of one
    // journal.
    void OpenUFormQuery(const QString& fullPath, int rType);
    // The columns of a table other than RECID, ", "-separated and ending in a
    // blank; empty when it has no other column.
    QString ColumnList(const QString& table);
    // Adds a lookup text field of size 150 to dataSet that looks keyField up
    // in the module's dataset lookupName; named prefix + keyField (upper
    // case), or resultField when prefix is "*". Adds nothing when the module
    // has no dataset of that name.
    void MakeLookupField(platform::DataSet& dataSet, const QString& lookupName,
                         const QString& keyField, const QString& lookupKeyField,
                         const QString& resultField, const QString& prefix);
    // HistoryQ's calculated fields: KindExplain from KIND; SignCheck from
    // SignatureCheck for a signature row (NULL without it), -1 otherwise.
    void HistoryQCalcFields(platform::DataSet& history);
    // Set by the signature window: checks the signature of the current
    // HistoryQ row (KIND 100) and gives 1 when it is valid, 0 when not.
    std::function<int(platform::DataSet& history)> SignatureCheck;

    // --- record storage ------------------------------------------------------

    // Starts a new record: appends a row to GRQuery with FULLPATH
    // journalFullPath (in memory only) and sets NewRecordPending.
    void BeforeInsert(const QString& journalFullPath);
    // Saves the current row of GRQuery when it has an unsaved change: a new
    // record (no RECID yet) gets its rows, number and automatic numbers
    // (UsrInsert); every stored field goes to CORETABLE or to the extension
    // table of the record's own top-level journal; a history row is added
    // (kind 0 for a new record, kind 1 otherwise). All statements run in one
    // transaction: on any failure nothing is written, the row in memory keeps
    // no number of the failed save, and the error is raised.
    void UsrModify();
    // Copies the stored fields of source to core (core fields) and ext (the
    // others), writing a debug line per field; a field that cannot be set is
    // logged as "ERR: " and skipped.
    void UpdateTables(platform::DataSet& core, platform::DataSet& ext, platform::DataSet& source);
    // Adds a HISTORY row for the logged-on user, numbered MAX(IDX)+1.
    void InsertHistory(int recId, int kind, const QString& comment);
    // Deletes the record of GRQuery's current row: its CORETABLE row, its
    // extension row and all of its history, in one transaction; then the row
    // in memory.
    void UsrDelete();
    // Whether the record has a signature (a HISTORY row of kind 100).
    [[nodiscard]] bool RecSigned(int recId);
    // Whether the record exists; gives its journal's FULLDESCRIPTION and its
    // COMMENT (empty texts for NULL). Outputs untouched when it does not.
    [[nodiscard]] bool RecExists(int recId, QString& fullDescription, QString& comment);
    // The extension table of a journal's top-level journal (MAGS.EXTTABLE,
    // trimmed); empty when it has none or the journal is unknown.
    QString ExtTableOf(const QString& journalFullPath);

    // Set by BeforeInsert, cleared by every save of GRQuery.
    bool NewRecordPending = false;

    // --- catalogue maintenance -----------------------------------------------

    void InsertMags(const QString& description, const QString& fullPath,
                    const QString& fullDescription, int noConforms);
    void UpdateMags(const QString& fullPath, const QString& description, const QString& extTable);
    // Writes each node's FULLDESCRIPTION into the rows of table (MAGS or
    // EQUIPMENT) with the same FULLPATH; the first node of a path counts.
    void UpdateFullDescription(const QList<QPair<QString, QString>>& nodesInTreeOrder,
                               const QString& table);
    // Deletes a journal and every journal below it with their records and
    // history; the journal's own field descriptions; the extension table
    // extTable when given. Raises for an empty path.
    void CascadingDelete(const QString& fullPath, const QString& extTable);
    void CreateUT(const QString& table);
    void DeleteUT(const QString& table);
    // Asks whether to delete an extension table that no journal uses, and
    // deletes it on OK.
    void UTclear(const QString& table);
    void AlterUT(const QString& clause, const QString& fieldName, const QString& fullPath);
    [[nodiscard]] bool UTExist(const QString& table);
    void OpenTable(const QString& table);
    // Gives every field linked to reference table the display name name.
    void UpdateConforms(const QString& table, const QString& name);
    // Deletes the description of a field of a top-level journal.
    void DeleteConforms(const QString& fieldName, const QString& rootJournalPath);
    // Creates a reference table with its REFS row and its cache dataset
    // "RefDS" + table; a failure to create is shown as "Невозможно добавить
    // справочник".
    void AddReference(const QString& table, const QString& name);
    // Drops a reference table, unlinks the fields linked to it, removes its
    // REFS row and its cache dataset.
    void DeleteReference(const QString& table);
    [[nodiscard]] bool RefExist(const QString& table);
    void OpenRefQuery();
    void AddEquipment(const QString& description, const QString& fullPath,
                      const QString& fullDescription, const QString& code);
    void UpdateEquipment(const QString& oldPath, const QString& newPath,
                         const QString& fullDescription, const QString& description,
                         const QString& code);
    // Deletes an equipment node and every node below it. Raises for an empty
    // path.
    void DeleteEquipment(const QString& fullPath);

private:
    void keepAlive();
    void attach(platform::Query* q);
    void createHistoryFields();
    void refreshConforms();
    void UsrInsert(const QString& extTable);
    void SetNextNum(const QString& rootPath, const QString& fieldName, qint64 value);
    // Takes the lock that makes MAX+1 numbering of a table safe between
    // workstations until the transaction ends (PostgreSQL; the embedded
    // engine's transactions hold the write lock from their start).
    void lockForNumbering(const QString& table);

    platform::Server* m_current;
    QString m_missingTable;
    QObject* m_detached; // reference datasets taken out of the module
};

// The program's data module (the one created last).
TDM* DM();

} // namespace database
