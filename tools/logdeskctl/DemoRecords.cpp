#include "DemoRecords.h"

#include "DMUnit.h"
#include "Error.h"
#include "Schema.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSet>

using namespace platform;

namespace ctl
{

namespace
{

constexpr int kRecordsPerJournal = 300;
constexpr int kDaysBack = 60;
constexpr quint32 kSeed = 20260311;

const char* const kPhrases[] = {
    "Плановый осмотр оборудования",
    "Переключение по распоряжению диспетчера",
    "Замечаний нет",
    "Обнаружена утечка масла, вызван ремонтный персонал",
    "Повышенная вибрация подшипника",
    "Выполнен вывод в ремонт",
    "Введено в работу после ремонта",
    "Сработала предупредительная сигнализация",
    "Проведён замер сопротивления изоляции",
    "Смена принята без замечаний",
};

// The rows of a one-column statement as texts.
QStringList texts(Server& server, const QString& text, const QVariantList& values = {})
{
    QStringList out;
    QSqlQuery q = server.execute(text, values);
    while (q.next())
        out.append(q.value(0).toString());
    return out;
}

QList<int> codesOf(Server& server, const QString& table)
{
    QList<int> codes;
    if (!database::TDM::TableExist(table, &server))
        return codes;
    QSqlQuery q = server.execute(QStringLiteral("SELECT aCode FROM ") + table +
                                 QStringLiteral(" ORDER BY aCode"));
    while (q.next())
        if (!q.value(0).isNull())
            codes.append(q.value(0).toInt());
    return codes;
}

// What the records of one top-level journal need: its extension columns and
// the values its linked fields may take.
struct Family {
    QString extTable;
    std::vector<FieldDef> extColumns; // without RECID
    QList<int> states;
    QHash<QString, QList<int>> codesOf; // reference-linked fields, upper case
    QSet<QString> equipmentFields;      // equipment-linked fields, upper case
    QHash<QString, qint64> nextNums;    // automatic numbering, upper case
};

Family familyOf(database::TDM& dm, const QString& root)
{
    Server& server = *dm.currentServer();
    Family f;
    const QStringList ext =
        texts(server, QStringLiteral("SELECT EXTTABLE FROM MAGS WHERE FULLPATH=?"), {root});
    f.extTable = ext.value(0).trimmed();
    if (!f.extTable.isEmpty() && database::TDM::TableExist(f.extTable, &server)) {
        dm.OpenTable(f.extTable);
        for (const FieldDef& d : dm.Query->fieldDefs())
            if (d.name != QLatin1String("RECID"))
                f.extColumns.push_back(d);
        dm.Query->close();
    } else {
        f.extTable.clear();
    }
    QSqlQuery c = server.execute(
        QStringLiteral("SELECT FIELDNAME, REFNAME FROM CONFORMS WHERE FULLPATH=?"), {root});
    while (c.next()) {
        const QString field = c.value(0).toString().toUpper();
        const QString refName = c.value(1).toString();
        if (refName.isEmpty())
            continue;
        if (refName.contains(QLatin1String("Equipment"))) {
            f.equipmentFields.insert(field);
            continue;
        }
        const QList<int> codes = codesOf(server, refName.section(u' ', 0, 0));
        if (field == QLatin1String("STATE"))
            f.states = codes;
        else if (!codes.isEmpty())
            f.codesOf.insert(field, codes);
    }
    QSqlQuery n = server.execute(
        QStringLiteral("SELECT FIELDNAME, NEXTNUM FROM NEXTNUMS WHERE FULLPATH=? AND NEXTNUM>0"),
        {root});
    while (n.next())
        f.nextNums.insert(n.value(0).toString().toUpper(), n.value(1).toLongLong());
    return f;
}

class Generator
{
public:
    Generator(database::TDM& dm) : m_dm(dm), m_server(*dm.currentServer()), m_rng(kSeed)
    {
        m_equipment =
            texts(m_server, QStringLiteral("SELECT FULLPATH FROM EQUIPMENT ORDER BY FULLPATH"));
        for (const QString& uid :
             texts(m_server, QStringLiteral("SELECT UID FROM PERSONS ORDER BY UID")))
            m_users.append(uid.toInt());
        if (m_users.isEmpty())
            m_users.append(0);
        m_recId = dm.MaxID(QStringLiteral("CORETABLE"), QStringLiteral("RECID"));
        m_idx = dm.MaxID(QStringLiteral("HISTORY"), QStringLiteral("IDX"));
        m_now = QDateTime::currentDateTime();
    }

    void addJournal(const QString& path, Family& family)
    {
        for (int i = 0; i < kRecordsPerJournal; ++i)
            addRecord(path, family);
    }

private:
    template <class T> const T& pick(const QList<T>& list)
    {
        return list[int(m_rng.bounded(quint32(list.size())))];
    }
    QString phrase()
    {
        return QString::fromUtf8(kPhrases[m_rng.bounded(quint32(std::size(kPhrases)))]);
    }
    QVariant equipmentPath()
    {
        return m_equipment.isEmpty() ? QVariant() : QVariant(pick(m_equipment));
    }

    QVariant extValue(const FieldDef& column, const Family& family, const QDateTime& date1)
    {
        if (family.equipmentFields.contains(column.name))
            return equipmentPath();
        if (auto it = family.codesOf.constFind(column.name); it != family.codesOf.constEnd())
            return pick(*it);
        if (m_rng.bounded(5u) == 0)
            return QVariant(); // some fields left empty
        switch (column.type) {
        case FieldType::Smallint:
        case FieldType::Integer:
        case FieldType::Largeint:
            return int(m_rng.bounded(1000u));
        case FieldType::Float:
        case FieldType::BCD:
        case FieldType::Currency:
            return double(m_rng.bounded(100000u)) / 100.0;
        case FieldType::Boolean:
            return m_rng.bounded(2u) == 1;
        case FieldType::Date:
        case FieldType::DateTime:
            return date1.addSecs(qint64(m_rng.bounded(7u * 24 * 3600)));
        case FieldType::Memo:
            return phrase() + QStringLiteral(". ") + phrase();
        case FieldType::String:
            return column.size > 0 ? phrase().left(column.size) : phrase();
        default:
            return QVariant();
        }
    }

    void insertHistory(int recId, int kind, const QDateTime& when, const QVariant& comment)
    {
        SqlStatement s("INSERT INTO HISTORY (IDX, RECID, KIND, UID, DATECREATE, COMMENT) VALUES (");
        s.number(m_idx++) << ", ";
        s.number(recId) << ", ";
        s.number(kind) << ", ";
        s.number(pick(m_users)) << ", ";
        s.bind(when) << ", ";
        s.bind(comment) << ")";
        m_dm.execSql(s);
    }

    void addRecord(const QString& path, Family& family)
    {
        const int recId = m_recId++;
        const QDateTime date1 =
            m_now.addSecs(-qint64(m_rng.bounded(quint32(kDaysBack * 24 * 3600))));
        const QDateTime date2 = date1.addSecs(qint64(600 + m_rng.bounded(48u * 3600)));
        const QDateTime created = std::min(m_now, date1.addSecs(qint64(m_rng.bounded(1800u))));
        const QVariant state =
            family.states.isEmpty() ? QVariant(0) : QVariant(pick(family.states));
        QVariant num;
        if (auto it = family.nextNums.find(QStringLiteral("NUM")); it != family.nextNums.end())
            num = (*it)++;

        SqlStatement core("INSERT INTO CORETABLE (RECID, FULLPATH, DATECREATE, DATE1, DATE2, "
                          "OBJECT, COMMENT, NUM, "
                          "STATE) VALUES (");
        core.number(recId) << ", ";
        core.bind(path) << ", ";
        core.bind(created) << ", ";
        core.bind(date1) << ", ";
        core.bind(date2) << ", ";
        core.bind(equipmentPath()) << ", ";
        core.bind(phrase()) << ", ";
        core.bind(num) << ", ";
        core.bind(state) << ")";
        m_dm.execSql(core);

        if (!family.extTable.isEmpty()) {
            QStringList names{QStringLiteral("RECID")};
            for (const FieldDef& column : family.extColumns)
                names.append(column.name);
            SqlStatement ext(QStringLiteral("INSERT INTO ") + family.extTable +
                             QStringLiteral(" (") + names.join(u',') +
                             QStringLiteral(") VALUES ("));
            ext.number(recId);
            for (const FieldDef& column : family.extColumns) {
                ext << ", ";
                ext.bind(extValue(column, family, date1));
            }
            ext << ")";
            m_dm.execSql(ext);
        }

        insertHistory(recId, database::HistoryCreated, created, QVariant());
        if (m_rng.bounded(3u) == 0)
            insertHistory(recId, database::HistoryChanged, std::min(m_now, created.addSecs(3600)),
                          QVariant());
    }

    database::TDM& m_dm;
    Server& m_server;
    QRandomGenerator m_rng;
    QStringList m_equipment;
    QList<int> m_users;
    int m_recId;
    int m_idx;
    QDateTime m_now;
};

} // namespace

void AddDemoRecords(database::TDM& dm)
{
    Server& server = *dm.currentServer();
    const QStringList journals =
        texts(server, QStringLiteral("SELECT FULLPATH FROM MAGS ORDER BY FULLPATH"));
    Transaction transaction(server);
    Generator generator(dm);
    QHash<QString, Family> families;
    for (const QString& path : journals) {
        const bool hasChildren =
            std::any_of(journals.begin(), journals.end(), [&](const QString& other) {
                return other.size() > path.size() && other.startsWith(path);
            });
        if (path.isEmpty() || hasChildren)
            continue;
        const QString root = database::TopLevelPath(path);
        if (!families.contains(root))
            families.insert(root, familyOf(dm, root));
        generator.addJournal(path, families[root]);
    }
    for (auto it = families.begin(); it != families.end(); ++it)
        for (auto n = it->nextNums.begin(); n != it->nextNums.end(); ++n) {
            SqlStatement s("UPDATE NEXTNUMS SET NEXTNUM=");
            s.number(*n) << " WHERE FULLPATH=";
            s.quoted(it.key()) << " AND UPPER(FIELDNAME)=";
            s.quoted(n.key());
            dm.execSql(s);
        }
    transaction.commit();
}

} // namespace ctl
