// Compression ("Good") and decompression of a 20 KB record snapshot, the size
// a journal record with a long memo packs to. The snapshot is built in the
// record context format: 40 stored fields (names, short texts, integers,
// dates, flags) and a memo of Cyrillic shift notes in code page 1251.

#include "LZRW1.h"
#include "TextEncoding.h"

#include <QByteArrayList>
#include <QStringList>
#include <benchmark/benchmark.h>

#include <random>

namespace
{

constexpr qsizetype kSnapshotSize = 20 * 1024;

enum class Type { String = 1, Integer = 3, Boolean = 5, DateTime = 11, Memo = 16 };
enum Tag : char { TagInteger = 0, TagText = 1, TagBoolean = 4, TagByteArray = 6, TagDateTime = 7 };

class SnapshotWriter
{
public:
    void int32(qint32 v) { m_out.append(reinterpret_cast<const char*>(&v), 4); }
    void text(const QByteArray& t)
    {
        int32(qint32(t.size()));
        m_out += t;
    }
    void field(const char* name, Type type, qint32 size, bool required)
    {
        text(name);
        int32(qint32(type));
        int32(size);
        m_out.append(char(required ? 1 : 0));
    }
    void tag(Tag t) { m_out.append(char(t)); }
    void dateTime(double days)
    {
        tag(TagDateTime);
        m_out.append(reinterpret_cast<const char*>(&days), 8);
    }
    QByteArray& bytes() { return m_out; }

private:
    QByteArray m_out;
};

QByteArray ShiftNotes(qsizetype length)
{
    const QStringList sentences =
        QString::fromUtf8("Смену принял, замечаний нет.|"
                          "Выведен в ремонт выключатель В-110 Т-2 по заявке № %1.|"
                          "Давление масла в баке трансформатора в норме, температура %1 °C.|"
                          "На ВЛ-35 кВ «Северная» проведён осмотр, обнаружен обрыв провода.|"
                          "Наложено переносное заземление № %1 на секции шин 6 кВ.|"
                          "Дежурному диспетчеру доложено в %1 ч.|"
                          "Выдан наряд-допуск бригаде Щербакова Ё.Ю. на работы в ячейке %1.")
            .split('|');
    std::mt19937 rng(20);
    QString text;
    while (platform::ToCp1251(text).size() < length) {
        const QString& sentence = sentences[int(rng() % sentences.size())];
        text += (sentence.contains("%1") ? sentence.arg(rng() % 400) : sentence) + "\r\n";
    }
    return platform::ToCp1251(text).left(length);
}

QByteArray MakeSnapshot()
{
    struct Field {
        const char* name;
        Type type;
    };
    std::vector<Field> fields = {
        {"RECID", Type::Integer}, {"IDX", Type::Integer},  {"FULLPATH", Type::String},
        {"D1", Type::DateTime},   {"D2", Type::DateTime},  {"STATE", Type::Integer},
        {"UID", Type::Integer},   {"EQID", Type::Integer}, {"CONFIRMED", Type::Boolean}};
    static const char* kExtensionNames[] = {
        "NUMBER",   "OPERATOR", "SHIFT",    "OBJECT",  "VOLTAGE", "CAUSE",  "ORDERNO", "BRIGADE",
        "WORKKIND", "ADMITTED", "FINISHED", "CHECKER", "PHASE",   "FEEDER", "CELL",    "KIND",
        "PRIORITY", "SOURCE",   "RESULT",   "NOTE1",   "NOTE2",   "NOTE3",  "CLOSED",  "CLOSER",
        "SIGNER",   "DEPT",     "SECTION",  "PANEL",   "COUNTER", "REMARK"};
    for (int i = 0; i < 30; ++i)
        fields.push_back({kExtensionNames[i], i % 5 == 0   ? Type::Integer
                                              : i % 7 == 3 ? Type::DateTime
                                                           : Type::String});
    fields.push_back({"MEMO", Type::Memo});

    const QByteArray strings = platform::ToCp1251(QString::fromUtf8(
        "Подстанция 110/35/6 кВ «Заречная»`Ячейка 12`Иванов И.И.`Петров П.П.`ночная`"
        "ВЛ-35 кВ`плановый ремонт`выполнено`фаза А`Сидорова А.С."));
    const QList<QByteArray> values = strings.split('`');

    SnapshotWriter w;
    w.bytes() += "RADICAL FILE";
    w.int32(qint32(fields.size()));
    for (const Field& f : fields)
        w.field(f.name, f.type, f.type == Type::String ? 100 : 0, f.type == Type::Integer);
    w.int32(1);
    int k = 0;
    for (const Field& f : fields) {
        ++k;
        switch (f.type) {
        case Type::Integer:
            w.tag(TagInteger);
            w.int32(1000 + 37 * k);
            break;
        case Type::DateTime:
            w.dateTime(45200.25 + k / 96.0);
            break;
        case Type::Boolean:
            w.tag(TagBoolean);
            w.bytes().append(char(1));
            break;
        case Type::String:
            w.tag(TagText);
            w.text(values[k % values.size()]);
            break;
        case Type::Memo: {
            w.tag(TagByteArray);
            const QByteArray memo = ShiftNotes(kSnapshotSize - w.bytes().size() - 4);
            w.text(memo);
            break;
        }
        }
    }
    return w.bytes();
}

void BM_CompressGood(benchmark::State& state)
{
    const QByteArray snapshot = MakeSnapshot();
    qsizetype packed = 0;
    for (auto _ : state) {
        const QByteArray stream = signature::CompressGood(snapshot);
        packed = stream.size();
        benchmark::DoNotOptimize(stream.data());
    }
    state.SetBytesProcessed(state.iterations() * snapshot.size());
    state.counters["snapshot_bytes"] = double(snapshot.size());
    state.counters["packed_bytes"] = double(packed);
}
BENCHMARK(BM_CompressGood);

void BM_Decompress(benchmark::State& state)
{
    const QByteArray snapshot = MakeSnapshot();
    const QByteArray stream = signature::CompressGood(snapshot);
    for (auto _ : state) {
        const QByteArray restored = signature::Decompress(stream);
        benchmark::DoNotOptimize(restored.data());
    }
    state.SetBytesProcessed(state.iterations() * snapshot.size());
}
BENCHMARK(BM_Decompress);

} // namespace

BENCHMARK_MAIN();
