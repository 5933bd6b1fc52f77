#include "Schema.h"

#include "Server.h"

namespace database
{

QStringList SystemTableStatements(const platform::Server& server)
{
    const bool pg = server.dialect() == platform::SqlDialect::PostgreSQL;
    const QString picture = pg ? QStringLiteral("bytea") : QStringLiteral("blob");
    return {
        "CREATE TABLE MAGS (FULLPATH varchar(100) NOT NULL PRIMARY KEY, DESCRIPTION varchar(100), "
        "FULLDESCRIPTION varchar(250), EXTTABLE varchar(50), SIGN " +
            picture + ")",
        "CREATE TABLE SQLTOKENS (TOKEN varchar(50), SQLTEXT text)",
        "CREATE TABLE CORETABLE (RECID integer NOT NULL PRIMARY KEY, FULLPATH varchar(100), "
        "DATECREATE timestamp, DATE1 timestamp, DATE2 timestamp, OBJECT varchar(100), "
        "COMMENT varchar(250), NUM integer, STATE integer)",
        "CREATE INDEX CORETABLE_FULLPATH ON CORETABLE (FULLPATH)",
        "CREATE TABLE EQUIPMENT (FULLPATH varchar(100) NOT NULL PRIMARY KEY, DESCRIPTION "
        "varchar(50), "
        "CODE varchar(50), FULLDESCRIPTION varchar(200))",
        "CREATE TABLE HISTORY (IDX integer NOT NULL PRIMARY KEY, RECID integer, KIND integer, UID "
        "integer, "
        "DATECREATE timestamp, COMMENT text, SIGNATURE text, RECCONTEXT text)",
        "CREATE INDEX HISTORY_RECID ON HISTORY (RECID)",
        "CREATE TABLE PERSONS (UID integer NOT NULL PRIMARY KEY, FIO varchar(100), PWDHASH "
        "varchar(64), "
        "GID integer, PUBLICKEY text)",
        "CREATE TABLE REFS (NAME varchar(100), REFERENCETABLE varchar(50) NOT NULL PRIMARY KEY)",
        "CREATE TABLE CONFORMS (FULLPATH varchar(100), FIELDNAME varchar(50), RUSNAME "
        "varchar(100), "
        "REFNAME varchar(150), PERMISSIONS text)",
        "CREATE INDEX CONFORMS_FULLPATH ON CONFORMS (FULLPATH, FIELDNAME)",
        "CREATE TABLE NEXTNUMS (FULLPATH varchar(100), FIELDNAME varchar(50), NEXTNUM integer)",
        "CREATE TABLE USERFORMS (SEQID integer, FULLPATH varchar(100), FORMNAME varchar(100), "
        "RTYPE integer, FORMBLOB text)",
        "CREATE INDEX USERFORMS_KEY ON USERFORMS (FULLPATH, RTYPE, FORMNAME)",
    };
}

void CreateSystemTables(platform::Server& server)
{
    platform::Transaction t(server);
    for (const QString& s : SystemTableStatements(server))
        server.execute(s);
    t.commit();
}

QString ExtensionTableStatement(const QString& name)
{
    return QStringLiteral("CREATE TABLE ") + name + QStringLiteral(" (RecID   INTEGER)");
}

QString ReferenceTableStatement(const QString& name)
{
    return QStringLiteral("CREATE TABLE ") + name +
           QStringLiteral(" (aCode INTEGER, aValue Char(50))");
}

} // namespace database
