// The logdeskctl commands on stored forms, run as a user runs them: import
// and export, the check of the form that serves a journal, and the
// offscreen rendering of the demo site's forms bound to their records.

#include "DataModuleFixture.h"
#include "FormText.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace
{

struct CtlResult {
    int exitCode = -1;
    QString out;
    QString err;
};

class Ctl
{
public:
    explicit Ctl(const TestDatabase& db)
        : m_connection(db.backend() == Backend::SQLite
                           ? db.ctlOptions()
                           : QStringList{"--rda", "--address", db.address(), "--database",
                                         db.databaseName()})
    {
    }

    static QString path()
    {
        return QFileInfo(QCoreApplication::applicationDirPath() +
                         "/../../tools/logdeskctl/logdeskctl")
            .absoluteFilePath();
    }

    CtlResult operator()(const QStringList& args) const
    {
        QProcess proc;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("USERPROFILE", m_profile.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", m_profile.path()); // owner-only, as Qt wants it
        proc.setProcessEnvironment(env);
        proc.start(path(), args + m_connection);
        CtlResult run;
        if (!proc.waitForFinished(120000))
            return run;
        run.exitCode = proc.exitCode();
        run.out = QString::fromUtf8(proc.readAllStandardOutput());
        run.err = QString::fromUtf8(proc.readAllStandardError());
        return run;
    }

    QString file(const QString& name) const { return m_profile.filePath(name); }

private:
    QStringList m_connection;
    QTemporaryDir m_profile;
};

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class DemoFormCommands : public BackendTest
{
};

TEST_P(DemoFormCommands, DemoFormsRenderBoundToTheirRecords)
{
    ASSERT_TRUE(QFileInfo::exists(Ctl::path())) << "build logdeskctl first";
    const Ctl ctl(*db);
    CtlResult run = ctl({"demo-db", "--keys", ctl.file("keys")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = ctl({"demo-forms"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    struct Case {
        const char* journal;
        const char* kind;
        QSize size;
    };
    for (const Case& c :
         {Case{"OPER`", "2", {900, 480}}, Case{"DEFECT`EL`", "2", {900, 480}},
          Case{"ORDER`", "2", {900, 480}}, Case{"OPER`", "1", {570, 348}},
          Case{"OPER`NIGHT`", "1", {570, 251}}, Case{"DEFECT`MECH`PUMP`", "1", {570, 444}},
          Case{"ORDER`", "1", {570, 234}}}) {
        SCOPED_TRACE(QString("%1 kind %2").arg(c.journal, c.kind).toStdString());
        const QString png = ctl.file("form.png");
        QFile::remove(png);
        run = ctl({"form-render", c.journal, c.kind, png, "--user", "3", "--password", "admin"});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith(
            QString("rendered %1x%2 with ").arg(c.size.width()).arg(c.size.height())))
            << run.out.toStdString();
        EXPECT_EQ(QImage(png).size(), c.size);
    }

    run = ctl({"form-check-db", "OPER`SHIFT1`", "1"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith("stored for OPER`\nTUForm RecordForm "))
        << run.out.toStdString();
    run = ctl({"form-check-db", "OPER`NIGHT`", "1"});
    EXPECT_TRUE(run.out.startsWith("stored for OPER`NIGHT`\n")) << run.out.toStdString();
}

INSTANTIATE_BACKENDS(DemoFormCommands);

class FormCommands : public DataModuleTest
{
protected:
    QString storedName(int kind)
    {
        return scalar("SELECT FORMNAME FROM USERFORMS WHERE FULLPATH='J`' AND RTYPE=?", {kind})
            .toString();
    }
};

TEST_P(FormCommands, ImportedObjectsExportAsTheyWereAndBadFormsAreRefused)
{
    ASSERT_TRUE(QFileInfo::exists(Ctl::path())) << "build logdeskctl first";
    const Ctl ctl(*db);
    const QByteArray form =
        editing::CompileFormText("object ListForm: TUForm\n  object G: TUGrid\n  end\nend\n");
    WriteFile(ctl.file("form.bin"), form);
    WriteFile(ctl.file("garbage.bin"), "not a form");

    CtlResult run = ctl({"form-import", "J`", "2", "", ctl.file("form.bin")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(storedName(2), " ");
    run = ctl({"form-export", "J`", "2", " ", ctl.file("out.bin")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(ReadFile(ctl.file("out.bin")), form);

    run = ctl({"form-check-db", "J`SUB`", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList tree = editing::PrintComponentTree(editing::ReadStreamTree(form));
    EXPECT_EQ(run.out, "stored for J`\n" + tree.join('\n') + "\n");

    // A form that does not read leaves the stored one in place.
    run = ctl({"form-import", "J`", "2", " ", ctl.file("garbage.bin")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.toStdString(), "Invalid stream format\n");
    run = ctl({"form-export", "J`", "2", " ", ctl.file("out.bin")});
    EXPECT_EQ(ReadFile(ctl.file("out.bin")), form);

    // Report templates are the report engine's own bytes.
    run = ctl({"form-import", "J`", "3", "Сводка", ctl.file("garbage.bin")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(storedName(3), "Сводка");
    run = ctl({"form-export", "J`", "3", "Сводка", ctl.file("out.bin")});
    EXPECT_EQ(ReadFile(ctl.file("out.bin")), "not a form");

    run = ctl({"form-check-db", "X`", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("ОШИБКА! Форма не найдена")) << run.err.toStdString();
    run = ctl({"form-export", "J`", "1", " ", ctl.file("out.bin")});
    EXPECT_EQ(run.exitCode, 1);
    run = ctl({"form-import", "J`", "4", " ", ctl.file("form.bin")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("KIND must be")) << run.err.toStdString();
}

INSTANTIATE_BACKENDS(FormCommands);

} // namespace
