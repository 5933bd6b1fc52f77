// Commands of the signature engine: make a key pair, sign a digest, verify a
// signature. They need no database.

#include "Command.h"
#include "ECCrypt.h"
#include "Error.h"

#include <QByteArray>
#include <algorithm>
#include <cctype>

using namespace platform;

namespace ctl
{
namespace
{

constexpr int kDigestHexLength = 40;

// A SHA-1 digest given as 40 hexadecimal digits.
QByteArray digestArg(const QString& text)
{
    const QByteArray latin = text.toLatin1();
    const bool hex =
        std::all_of(latin.begin(), latin.end(), [](char c) { return std::isxdigit(uchar(c)); });
    if (text.size() != kDigestHexLength || !hex)
        throw Error("HEXDIGEST must be 40 hexadecimal digits (a SHA-1 digest), not '" + text + "'");
    return QByteArray::fromHex(latin);
}

void requireArgs(const Invocation& inv, int count, const char* usage)
{
    if (inv.args.size() != count)
        throw Error(QString("usage: ") + usage);
}

int keygen(Invocation& inv)
{
    requireArgs(inv, 0, "keygen");
    const signature::KeyPairTexts pair = signature::MakeKeyPair();
    inv.out << pair.secretText << "\n" << pair.publicText << "\n";
    return 0;
}

int sign(Invocation& inv)
{
    requireArgs(inv, 2, "sign SECRET HEXDIGEST");
    const QByteArray digest = digestArg(inv.args[1]);
    signature::TEllipticCurve ec;
    ec.setKeySecret(inv.args[0]);
    ec.Sign(digest);
    if (ec.Signature().isEmpty())
        throw Error("the secret key text is unusable");
    inv.out << ec.Signature() << "\n";
    return 0;
}

int verify(Invocation& inv)
{
    requireArgs(inv, 3, "verify PUBLIC SIGNATURE HEXDIGEST");
    const QByteArray digest = digestArg(inv.args[2]);
    signature::TEllipticCurve ec;
    ec.setKeyPublic(inv.args[0]);
    ec.setSignature(inv.args[1]);
    inv.out << (ec.Verify(digest) ? "true" : "false") << "\n";
    return 0;
}

const CommandRegistration registrations[] = {
    CommandRegistration{
        Command{"keygen",
                "keygen",
                "Makes a key pair of the signature engine and prints the secret key text,\n"
                "then the public key text (as PERSONS.PUBLICKEY holds it), one line each.",
                {},
                keygen}},
    CommandRegistration{
        Command{"sign",
                "sign SECRET HEXDIGEST",
                "Signs a SHA-1 digest (40 hexadecimal digits) with the secret key text and\n"
                "prints the signature text \"r:s\". A fresh nonce every time, so two runs\n"
                "print different signatures. The secret shows in the process list: use it\n"
                "for test and demo keys.",
                {},
                sign}},
    CommandRegistration{
        Command{"verify",
                "verify PUBLIC SIGNATURE HEXDIGEST",
                "Checks a signature text against a SHA-1 digest with the public key text and\n"
                "prints true or false (exit 0 either way). Exits 2 when the digest is not\n"
                "40 hexadecimal digits.",
                {},
                verify}},
};

} // namespace
} // namespace ctl
