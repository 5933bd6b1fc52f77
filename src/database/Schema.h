#pragma once
// The ten system tables shared with the configuration program. The program
// itself never creates them on a site's server; the demo database, the tests
// and "logdeskctl init-db" do.

#include <QString>
#include <QStringList>

namespace platform
{
class Server;
}

namespace database
{

// The list that TDM.DBIsCorrect checks, in its order.
inline constexpr const char* kSystemTableList =
    "MAGS;SQLTOKENS;CORETABLE;EQUIPMENT;HISTORY;PERSONS;REFS;CONFORMS;NEXTNUMS;USERFORMS";

// The core field list: these fields of a record go to CORETABLE, every other
// stored field to the journal's extension table.
inline constexpr const char* kCoreFieldList =
    "RECID,FULLPATH,DATECREATE,DATE1,DATE2,OBJECT,COMMENT,NUM,STATE";

// The level separator of paths (FULLPATH, FULLDESCRIPTION).
inline constexpr char16_t kPathSeparator = u'`';

// HISTORY kinds.
enum HistoryKind : int {
    HistoryCreated = 0,
    HistoryChanged = 1,
    HistoryLocked = 2,
    HistorySigned = 100,
    HistoryRevoked = 101,
};

// CREATE TABLE statements of the system tables for the server's dialect.
QStringList SystemTableStatements(const platform::Server& server);
// Creates the ten tables (and their indexes) in one transaction.
void CreateSystemTables(platform::Server& server);

// "CREATE TABLE " + name + " (RecID   INTEGER)": a journal family's extension table.
QString ExtensionTableStatement(const QString& name);
// "CREATE TABLE " + name + " (aCode INTEGER, aValue Char(50))": a reference table.
QString ReferenceTableStatement(const QString& name);

} // namespace database
