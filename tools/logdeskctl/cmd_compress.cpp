// Commands that run the compressed stream of record contexts over files; no
// database is needed.

#include "Command.h"
#include "Error.h"
#include "LZRW1.h"

#include <QFile>
#include <QSaveFile>

using namespace platform;
using namespace signature;

namespace ctl
{
namespace
{

// Opens the input and output files, runs the compressor over them and prints
// the sizes. The output file is replaced only when the whole run succeeds.
template <class Run> void RunOverFiles(Invocation& inv, const char* usage, Run run)
{
    if (inv.args.size() != 2)
        throw Error(QString::fromLatin1(usage));
    QFile in(inv.args[0]);
    if (!in.open(QIODevice::ReadOnly))
        throw Error(QString("cannot read %1: %2").arg(inv.args[0], in.errorString()));
    QSaveFile out(inv.args[1]);
    if (!out.open(QIODevice::WriteOnly))
        throw Error(QString("cannot write %1: %2").arg(inv.args[1], out.errorString()));
    Tlzrw1 lz;
    lz.setInputStream(&in);
    lz.setOutputStream(&out);
    const qint64 written = run(lz, in);
    if (!out.commit())
        throw Error(QString("cannot write %1: %2").arg(inv.args[1], out.errorString()));
    inv.out << "input " << in.size() << " bytes\n";
    inv.out << "output " << written << " bytes\n";
}

int compressFile(Invocation& inv)
{
    RunOverFiles(inv, "usage: compress IN OUT", [&](Tlzrw1& lz, QFile&) {
        const qint64 written = lz.Compress();
        inv.out << "method Good\n";
        return written;
    });
    return 0;
}

int decompressFile(Invocation& inv)
{
    RunOverFiles(inv, "usage: decompress IN OUT", [&](Tlzrw1& lz, QFile& in) {
        const CompressMode method = StreamMethod(in.peek(lzstream::kHeaderSize));
        const qint64 written = lz.Decompress();
        inv.out << "method " << (method == CompressMode::Good ? "Good" : "Fast") << "\n";
        return written;
    });
    return 0;
}

const CommandRegistration registrations[] = {
    CommandRegistration{Command{"compress",
                                "compress IN OUT",
                                "Compresses the file IN into the compressed stream of record\n"
                                "contexts (method Good) and writes it to OUT.",
                                {},
                                compressFile}},
    CommandRegistration{Command{"decompress",
                                "decompress IN OUT",
                                "Decompresses the compressed stream in IN (method Good or Fast)\n"
                                "and writes the original bytes to OUT. OUT is left untouched\n"
                                "when the stream is malformed.",
                                {},
                                decompressFile}},
};

} // namespace
} // namespace ctl
