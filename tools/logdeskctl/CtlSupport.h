#pragma once
// What the commands share: a data module on the server named by the
// connection options, connected as the connection dialog would, and the real
// log-on of a journal user.

#include "Command.h"
#include "DMUnit.h"
#include "JConnection.h"

#include <memory>

namespace ctl
{

// A data module whose current server is the one the options choose.
std::unique_ptr<database::TDM> MakeDataModule(const Invocation& inv);

// Connects the current server with the database user rules of the log-on
// ("NAME:USER" connects as USER with --password, "NAME" as the program's own
// account) but logs no journal user on. create: make a missing SQLite file.
void ConnectServer(database::TDM& dm, const Invocation& inv, bool create = false);

// Runs the real log-on with --user and --password. On failure the exact
// message is printed on standard error and Failure is thrown (exit 1).
void LogOnUser(database::TDM& dm, const Invocation& inv, startup::HeadlessLogOnView& view);

// A failure whose text has been printed already; exits with the code.
struct Failure {
    int code;
};

// The whole content of a file, or a clear error.
QByteArray ReadFileBytes(const QString& path);
// Replaces a file's content, or a clear error.
void WriteFileBytes(const QString& path, const QByteArray& bytes);

// A whole number argument, or a clear error.
int IntArg(const QString& text, const char* what);

} // namespace ctl
