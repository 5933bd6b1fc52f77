// Several workstations saving new records at the same moment: each process
// is a logdeskctl add-record that logs on and saves its records one by one
// through TDM.BeforeInsert and TDM.UsrModify.

#include "DataModuleFixture.h"
#include "SHA.h"
#include "TextEncoding.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using namespace database;

namespace
{

constexpr int kProcesses = 4;
constexpr int kRecordsEach = 100;

QString logdeskctlPath()
{
    return QFileInfo(QCoreApplication::applicationDirPath() + "/../../tools/logdeskctl/logdeskctl")
        .absoluteFilePath();
}

} // namespace

class ConcurrentSave : public DataModuleTest
{
};

TEST_P(ConcurrentSave, NumbersAreNeverGivenTwice)
{
    const QString ctl = logdeskctlPath();
    ASSERT_TRUE(QFileInfo::exists(ctl)) << "build logdeskctl first: " << ctl.toStdString();
    addJournal("J`", "Журнал", "EXT_J", {"N integer"});
    exec("INSERT INTO CONFORMS (FULLPATH, FIELDNAME, PERMISSIONS) VALUES ('J`', 'ALL', "
         "'ALL=r,w,c,d')");
    exec("INSERT INTO NEXTNUMS (FULLPATH, FIELDNAME, NEXTNUM) VALUES ('J`', 'NUM', 1)");
    exec("INSERT INTO PERSONS (UID, FIO, PWDHASH) VALUES (5, 'Оператор', ?)",
         {signature::Sha1Hex(platform::ToCp1251("pw"))});

    // The program's own database account, as the connection dialog uses it.
    const QStringList connection =
        db->backend() == Backend::SQLite
            ? db->ctlOptions()
            : QStringList{"--rda", "--address", db->address(), "--database", db->databaseName()};
    QTemporaryDir profile;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("USERPROFILE", profile.path());
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int p = 0; p < kProcesses; ++p) {
        auto proc = std::make_unique<QProcess>();
        proc->setProcessEnvironment(env);
        proc->start(ctl,
                    QStringList{"add-record", "J`", QString("COMMENT=process %1").arg(p),
                                QString("N=%1").arg(p), "--count", QString::number(kRecordsEach),
                                "--user", "5", "--password", "pw"} +
                        connection);
        processes.push_back(std::move(proc));
    }
    for (auto& proc : processes) {
        ASSERT_TRUE(proc->waitForFinished(300000));
        EXPECT_EQ(proc->exitCode(), 0) << proc->readAllStandardError().toStdString();
    }

    const int total = kProcesses * kRecordsEach;
    EXPECT_EQ(count("SELECT COUNT(*) FROM CORETABLE"), total);
    EXPECT_EQ(count("SELECT COUNT(DISTINCT NUM) FROM CORETABLE"), total);
    EXPECT_EQ(count("SELECT MAX(NUM) FROM CORETABLE"), total);
    EXPECT_EQ(count("SELECT NEXTNUM FROM NEXTNUMS"), total + 1);
    EXPECT_EQ(count("SELECT COUNT(DISTINCT RECID) FROM EXT_J"), total);
    EXPECT_EQ(count("SELECT COUNT(*) FROM EXT_J"), total);
    EXPECT_EQ(count("SELECT COUNT(*) FROM HISTORY WHERE KIND=0"), total);
    EXPECT_EQ(count("SELECT COUNT(DISTINCT RECID) FROM HISTORY WHERE KIND=0"), total);
    EXPECT_EQ(count("SELECT COUNT(*) FROM HISTORY h JOIN CORETABLE c ON c.RECID=h.RECID"), total);
    for (int p = 0; p < kProcesses; ++p)
        EXPECT_EQ(count("SELECT COUNT(*) FROM EXT_J WHERE N=?", {p}), kRecordsEach)
            << "process " << p;
}

INSTANTIATE_BACKENDS(ConcurrentSave);
