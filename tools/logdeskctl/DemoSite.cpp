#include "DemoSite.h"

#include "DMUnit.h"
#include "DemoForms.h"
#include "DemoRecords.h"
#include "ECCrypt.h"
#include "Error.h"
#include "SHA.h"
#include "Schema.h"
#include "SoftwareKeyToken.h"
#include "TextEncoding.h"

#include <QHash>
#include <QSqlQuery>
#include <vector>

using namespace platform;

namespace ctl
{

const DemoUser kDemoUsers[] = {
    {1, "Петров Пётр Петрович", "demo", 1},
    {2, "Сидорова Анна Викторовна", "shift", 1},
    {3, "Администратор", "admin", 2},
    {4, "О'Брайен Шон", "obrien", 0},
};
const int kDemoUserCount = int(sizeof kDemoUsers / sizeof kDemoUsers[0]);

void AddUser(database::TDM& dm, int uid, const QString& fio, const QString& password, int gid)
{
    SqlStatement s("INSERT INTO PERSONS (UID,FIO,PWDHASH,GID) VALUES (");
    s.number(uid) << ", ";
    s.quoted(fio) << ", ";
    s.quoted(signature::Sha1Hex(ToCp1251(password))) << ", ";
    if (gid > 0)
        s.number(gid) << ")";
    else
        s << "NULL)";
    dm.execSql(s);
}

namespace
{

// Runs an INSERT of text values, each placed as a bound value (NULL for none).
void insert(database::TDM& dm, const QString& table, const QStringList& columns,
            const QVariantList& values)
{
    SqlStatement s(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") +
                   columns.join(u',') + QStringLiteral(") VALUES ("));
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            s << ",";
        s.bind(values[i]);
    }
    s << ")";
    dm.execSql(s);
}

struct Journal {
    const char* path;
    const char* name;
    const char* extTable; // top-level journals only
};

const Journal kJournals[] = {
    {"OPER`", "Оперативный журнал", "EXT_OPER"},
    {"OPER`SHIFT1`", "Смена 1", nullptr},
    {"OPER`SHIFT2`", "Смена 2", nullptr},
    {"OPER`NIGHT`", "Ночная смена", nullptr},
    {"DEFECT`", "Журнал дефектов", "EXT_DEFECT"},
    {"DEFECT`EL`", "Электрооборудование", nullptr},
    {"DEFECT`MECH`", "Механическое оборудование", nullptr},
    {"DEFECT`MECH`PUMP`", "Насосы", nullptr},
    {"ORDER`", "Журнал распоряжений", nullptr},
};

// FIELDNAME, RUSNAME, REFNAME, PERMISSIONS of each top-level journal.
struct Conform {
    const char* path;
    const char* field;
    const char* caption;
    const char* refName;
    const char* permissions;
};

const Conform kConforms[] = {
    {"OPER`", "ALL", nullptr, nullptr, "ALL=r\r\nG1=r,w,c\r\nU3=r,w,c,d"},
    {"OPER`", "OBJECT", "Объект", "Equipment (Оборудование)", nullptr},
    {"OPER`", "STATE", "Состояние", "STATES (Состояния записей)",
     "G1=r,w(NULL>1;1>2|4;2>3|4)\r\nU3=r,w"},
    {"OPER`", "DATE1", "Начало", nullptr, nullptr},
    {"OPER`", "DATE2", "Окончание", nullptr, nullptr},
    {"OPER`", "NUM", "Номер", nullptr, "ALL=r"},
    {"OPER`", "COMMENT", "Содержание", nullptr, nullptr},
    {"OPER`", "WEATHER", "Погода", "WEATHER (Погодные условия)", nullptr},
    {"OPER`", "LOAD_MW", "Нагрузка, МВт", nullptr, nullptr},
    {"OPER`", "REMARK", "Примечание", nullptr, nullptr},
    {"OPER`", "CHECKED_AT", "Проверено", nullptr, nullptr},
    {"OPER`NIGHT`", "ALL", nullptr, nullptr, "ALL=r\r\nU3=r,w,c,d"},
    {"DEFECT`", "ALL", nullptr, nullptr, "ALL=r\r\nG1=r,w,c\r\nG2=r,w,c,d"},
    {"DEFECT`", "OBJECT", "Объект", "Equipment (Оборудование)", nullptr},
    {"DEFECT`", "STATE", "Состояние", "STATES (Состояния записей)", nullptr},
    {"DEFECT`", "NUM", "Номер дефекта", nullptr, nullptr},
    {"DEFECT`", "COMMENT", "Описание дефекта", nullptr, nullptr},
    {"DEFECT`", "PRIORITY", "Приоритет", "PRIORITIES (Приоритеты)", nullptr},
    {"DEFECT`", "DEFECT_KIND", "Вид дефекта", "DEFECTKINDS (Виды дефектов)", nullptr},
    {"DEFECT`", "UNIT", "Узел", "Equipment (Оборудование)", nullptr},
    {"DEFECT`", "DUE_DATE", "Устранить до", nullptr, nullptr},
    {"DEFECT`", "DETAILS", "Подробности", nullptr, nullptr},
    {"DEFECT`", "PHOTO", "Фото", nullptr, nullptr},
    {"ORDER`", "ALL", nullptr, nullptr, "G2=r,w,c,d\r\nU3=r,w,c,d"},
    {"ORDER`", "STATE", "Состояние", "STATES (Состояния записей)", nullptr},
};

struct Reference {
    const char* table;
    const char* name;
    std::vector<const char*> values; // codes 1, 2, ...
};

const Reference kReferences[] = {
    {"STATES", "Состояния записей", {"Открыта", "В работе", "Закрыта", "Отменена"}},
    {"PRIORITIES", "Приоритеты", {"Низкий", "Средний", "Высокий", "Аварийный"}},
    {"DEFECTKINDS", "Виды дефектов", {"Утечка", "Вибрация", "Перегрев", "Износ", "Обрыв"}},
    {"WEATHER", "Погодные условия", {"Ясно", "Облачно", "Дождь", "Снег", "Гроза"}},
};

void createJournals(database::TDM& dm)
{
    Server& server = *dm.currentServer();
    const QString dbl = server.dialect() == SqlDialect::PostgreSQL ? "double precision" : "double";
    for (const QString& statement :
         {database::ExtensionTableStatement("EXT_OPER"),
          QString("ALTER TABLE EXT_OPER ADD WEATHER integer"),
          "ALTER TABLE EXT_OPER ADD LOAD_MW " + dbl,
          QString("ALTER TABLE EXT_OPER ADD REMARK text"),
          QString("ALTER TABLE EXT_OPER ADD CHECKED_AT timestamp"),
          database::ExtensionTableStatement("EXT_DEFECT"),
          QString("ALTER TABLE EXT_DEFECT ADD PRIORITY integer"),
          QString("ALTER TABLE EXT_DEFECT ADD DEFECT_KIND integer"),
          QString("ALTER TABLE EXT_DEFECT ADD UNIT varchar(100)"),
          QString("ALTER TABLE EXT_DEFECT ADD DUE_DATE timestamp"),
          QString("ALTER TABLE EXT_DEFECT ADD DETAILS text"),
          "ALTER TABLE EXT_DEFECT ADD PHOTO " +
              QString(server.dialect() == SqlDialect::PostgreSQL ? "bytea" : "blob")})
        server.execute(statement);

    QHash<QString, QString> descriptionOf;
    for (const Journal& j : kJournals) {
        const QString path = QString::fromUtf8(j.path);
        const QString name = QString::fromUtf8(j.name);
        const QString parent = path.left(path.lastIndexOf(u'`', path.size() - 2) + 1);
        const QString full = descriptionOf.value(parent) + name + u'`';
        descriptionOf.insert(path, full);
        insert(dm, "MAGS", {"FULLPATH", "DESCRIPTION", "FULLDESCRIPTION", "EXTTABLE"},
               {path, name, full,
                j.extTable ? QVariant(QString::fromLatin1(j.extTable)) : QVariant()});
    }
    auto text = [](const char* t) { return t ? QVariant(QString::fromUtf8(t)) : QVariant(); };
    for (const Conform& c : kConforms)
        insert(
            dm, "CONFORMS", {"FULLPATH", "FIELDNAME", "RUSNAME", "REFNAME", "PERMISSIONS"},
            {text(c.path), text(c.field), text(c.caption), text(c.refName), text(c.permissions)});
    insert(dm, "NEXTNUMS", {"FULLPATH", "FIELDNAME", "NEXTNUM"},
           {QString("OPER`"), QString("NUM"), 1});
    insert(dm, "NEXTNUMS", {"FULLPATH", "FIELDNAME", "NEXTNUM"},
           {QString("DEFECT`"), QString("NUM"), 1001});

    for (const Reference& r : kReferences) {
        server.execute(database::ReferenceTableStatement(QString::fromLatin1(r.table)));
        insert(dm, "REFS", {"NAME", "REFERENCETABLE"},
               {QString::fromUtf8(r.name), QString::fromLatin1(r.table)});
        for (size_t i = 0; i < r.values.size(); ++i)
            insert(dm, QString::fromLatin1(r.table), {"aCode", "aValue"},
                   {int(i + 1), QString::fromUtf8(r.values[i])});
    }
}

// A few hundred items in five levels: sites, sections, cells, units, parts.
void createEquipment(database::TDM& dm)
{
    struct Level {
        const char* id;
        std::vector<const char*> names;
    };
    const std::vector<std::pair<const char*, const char*>> sites = {
        {"PS110", "ПС 110 кВ Северная"}, {"PS35", "ПС 35 кВ Южная"}, {"KOT2", "Котельная №2"}};
    const std::vector<const char*> sections = {"Секция шин 1", "Секция шин 2", "Насосная станция",
                                               "Щит управления"};
    const std::vector<const char*> cells = {"Ячейка 1", "Ячейка 2", "Ячейка 3", "Ячейка 4",
                                            "Ячейка 5"};
    const std::vector<const char*> units = {"Выключатель", "Трансформатор тока", "Насос",
                                            "Электродвигатель"};
    const std::vector<const char*> parts = {"Подшипник", "Обмотка"};
    auto add = [&](const QString& path, const QString& name, const QString& full,
                   const QString& code) {
        insert(dm, "EQUIPMENT", {"FULLPATH", "DESCRIPTION", "CODE", "FULLDESCRIPTION"},
               {path, name, code.isEmpty() ? QVariant() : QVariant(code), full});
    };
    for (const auto& [siteId, siteName] : sites) {
        const QString sPath = QString::fromLatin1(siteId) + u'`';
        const QString sFull = QString::fromUtf8(siteName) + u'`';
        add(sPath, QString::fromUtf8(siteName), sFull, QString());
        for (size_t a = 0; a < sections.size(); ++a) {
            const QString aPath = sPath + QStringLiteral("S%1`").arg(a + 1);
            const QString aFull = sFull + QString::fromUtf8(sections[a]) + u'`';
            add(aPath, QString::fromUtf8(sections[a]), aFull, QString());
            for (size_t b = 0; b < cells.size(); ++b) {
                const QString bPath = aPath + QStringLiteral("Y%1`").arg(b + 1);
                const QString bFull = aFull + QString::fromUtf8(cells[b]) + u'`';
                add(bPath, QString::fromUtf8(cells[b]), bFull, QString());
                for (size_t c = 0; c < units.size(); ++c) {
                    const QString cPath = bPath + QStringLiteral("U%1`").arg(c + 1);
                    const QString cFull = bFull + QString::fromUtf8(units[c]) + u'`';
                    const QString code = QStringLiteral("%1-%2%3%4")
                                             .arg(QLatin1String(siteId))
                                             .arg(a + 1)
                                             .arg(b + 1)
                                             .arg(c + 1);
                    add(cPath, QString::fromUtf8(units[c]), cFull, code);
                    if (c >= 2) // pumps and motors have parts
                        for (size_t d = 0; d < parts.size(); ++d)
                            add(cPath + QStringLiteral("P%1`").arg(d + 1),
                                QString::fromUtf8(parts[d]),
                                cFull + QString::fromUtf8(parts[d]) + u'`', QString());
                }
            }
        }
    }
}

} // namespace

void SetPublicKey(database::TDM& dm, int uid, const QString& publicKey)
{
    SqlStatement s("UPDATE PERSONS SET PUBLICKEY=");
    s.quoted(publicKey) << " WHERE UID=";
    s.number(uid);
    QSqlQuery q = dm.currentServer()->execute(s.text(), s.values());
    if (q.numRowsAffected() != 1)
        throw Error(QStringLiteral("no user %1").arg(uid));
}

void CreateDemoSite(database::TDM& dm, const QString& keysFolder)
{
    Server& server = *dm.currentServer();
    Transaction t(server);
    database::CreateSystemTables(server);
    for (int i = 0; i < kDemoUserCount; ++i) {
        const DemoUser& u = kDemoUsers[i];
        AddUser(dm, u.uid, QString::fromUtf8(u.fio), QString::fromUtf8(u.password), u.gid);
    }
    createJournals(dm);
    createEquipment(dm);
    for (int i = 0; i < kDemoUserCount; ++i) {
        const int uid = kDemoUsers[i].uid;
        const signature::KeyPairTexts keys = signature::MakeKeyPair();
        SetPublicKey(dm, uid, keys.publicText);
        signature::KeyId id{};
        id[0] = 0x01; // family code of the demo fobs
        id[1] = uint8_t(uid);
        id[7] = 0xD0;
        signature::WriteSecretKeyToken(keysFolder + QStringLiteral("/user") + QString::number(uid),
                                       signature::kUsbPort, id, keys.secretText);
    }
    AddDemoRecords(dm);
    AddDemoForms(dm);
    t.commit();
}

} // namespace ctl
