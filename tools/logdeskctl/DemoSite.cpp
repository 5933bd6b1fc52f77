#include "DemoSite.h"

#include "DMUnit.h"
#include "Error.h"
#include "SHA.h"
#include "Schema.h"
#include "TextEncoding.h"

using namespace platform;

namespace ctl {

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

void CreateDemoSite(database::TDM& dm)
{
    Server& server = *dm.currentServer();
    Transaction t(server);
    database::CreateSystemTables(server);
    for (int i = 0; i < kDemoUserCount; ++i) {
        const DemoUser& u = kDemoUsers[i];
        AddUser(dm, u.uid, QString::fromUtf8(u.fio), QString::fromUtf8(u.password), u.gid);
    }
    t.commit();
}

}  // namespace ctl
