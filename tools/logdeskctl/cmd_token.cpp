// Commands that write and read the software key token, the stand-in for the
// user's key fob on this platform.

#include "Command.h"
#include "Error.h"
#include "KeyToken.h"
#include "SoftwareKeyToken.h"

using namespace platform;
using namespace signature;

namespace ctl
{
namespace
{

const QString kDirOption = QStringLiteral("dir");

const char* const kWhereHelp =
    "Tokens are files named after the port (USB.key, COM1.key ... COM4.key) in the\n"
    "folder given by --dir, else in $LOGDESK_KEYTOKEN_DIR, else in\n"
    "Brenholt/keytokens under the per-user data folder ($XDG_DATA_HOME, else\n"
    "$HOME/.local/share). The program itself looks where $LOGDESK_KEYTOKEN_DIR or\n"
    "that default points.";

QString tokenDirectory(const Invocation& inv)
{
    return inv.opt(kDirOption, KeyTokenDirectory());
}

KeyPort portArg(const QString& text)
{
    const KeyPort ports[] = {kUsbPort,
                             {kSerialPortType, 1},
                             {kSerialPortType, 2},
                             {kSerialPortType, 3},
                             {kSerialPortType, 4}};
    for (const KeyPort& port : ports) {
        if (KeyPortName(port).compare(text, Qt::CaseInsensitive) == 0)
            return port;
    }
    throw Error(QString("PORT must be USB, COM1, COM2, COM3 or COM4, not '%1'").arg(text));
}

int tokenWrite(Invocation& inv)
{
    if (inv.args.size() != 3)
        throw Error("usage: token-write PORT IDENTIFIER SECRETTEXT [--dir DIR]");
    const KeyPort port = portArg(inv.args[0]);
    const auto id = KeyIdFromText(inv.args[1]);
    if (!id)
        throw Error(QString("IDENTIFIER must be 16 hexadecimal digits, not '%1'").arg(inv.args[1]));
    const QString path = WriteSecretKeyToken(tokenDirectory(inv), port, *id, inv.args[2]);
    inv.out << "wrote " << path << "\n";
    inv.out << "port: " << KeyPortName(port) << "\n";
    inv.out << "KeyID: " << KeyIdText(*id) << "\n";
    return 0;
}

int tokenRead(Invocation& inv)
{
    if (!inv.args.isEmpty())
        throw Error("usage: token-read [--dir DIR]");
    const QString directory = tokenDirectory(inv);
    SoftwareKeyTokenLibrary library(directory);
    const KeyTokenResult result = ReadKeyToken(library, QString::fromLatin1(kSecretKeySubKeyName),
                                               QString::fromLatin1(kSecretKeyPassword));
    if (!result.found)
        throw Error(QString("no key token on USB or COM1 to COM4 in %1").arg(directory));
    const QString portName = KeyPortName(result.record.port());
    inv.out << "port: " << portName << "\n";
    inv.out << "KeyID: " << KeyIdText(result.record.keyId()) << "\n";
    const QString secret = result.record.subKeyText();
    if (secret.isEmpty())
        throw Error(
            QString("the key on %1 holds no sub-key \"%2\" that the program's password opens")
                .arg(portName, QString::fromLatin1(kSecretKeySubKeyName)));
    inv.out << "secret key: " << secret << "\n";
    return 0;
}

const CommandRegistration registrations[] = {
    CommandRegistration{Command{
        "token-write",
        "token-write PORT IDENTIFIER SECRETTEXT [--dir DIR]",
        QString("Writes (replaces) the software key token on PORT (USB, COM1 ... COM4): a key\n"
                "with the identifier IDENTIFIER (16 hexadecimal digits, written as the\n"
                "\"KeyID: \" debug line shows it) holding SECRETTEXT (the secret key text, at\n"
                "most 47 characters) as the sub-key \"ecseckey\" under the program's password,\n"
                "where the signing path reads it.\n\n") +
            kWhereHelp,
        {"--dir"},
        tokenWrite}},
    CommandRegistration{Command{
        "token-read",
        "token-read [--dir DIR]",
        QString("Searches USB, then COM1 to COM4, as the signing path does, and prints the port,\n"
                "the key identifier and the secret key text of the first key found. Exits\n"
                "non-zero when no key is found or its sub-key cannot be read.\n\n") +
            kWhereHelp,
        {"--dir"},
        tokenRead}},
};

} // namespace
} // namespace ctl
