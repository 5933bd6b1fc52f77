#pragma once
// TDM: the data module. It owns the three servers (one of them current), every
// dataset of the program, the reference cache datasets and the keep-alive
// timer; every SQL statement of the program runs through it.

#include "LogOnValues.h"
#include "Query.h"
#include "Server.h"
#include "SqlStatement.h"

#include <QObject>
#include <QTimer>

namespace database {

// The server kind named by a command line: the first of its words 1 to 30
// (split at single blanks, the program path being the first) equal to "/BDE"
// or "/RDA", ignoring letter case; ADO without one.
platform::ServerKind ChooseServerKind(const QString& commandLine);
// The program's whole command line as one text.
QString ProgramCommandLine();

class TDM : public QObject {
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
    platform::Query* GRQuery;    // records of the selected journal (edits stay in memory)
    platform::Query* Query;      // general statements, read-only
    platform::Query* Query1;     // NEXTNUMS updates and field-description deletes
    platform::Query* MagQuery;   // journal names for lookup fields
    platform::Query* HistoryQ;   // history of the current record
    platform::Table* ConformsTable;
    platform::Query* UsersTable;  // "select * from PERSONS"
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

private:
    void keepAlive();
    void attach(platform::Query* q);

    platform::Server* m_current;
    QString m_missingTable;
};

// The program's data module (the one created last).
TDM* DM();

}  // namespace database
