#pragma once
// The demo site: what "logdeskctl demo-db" writes into an empty database.

#include <QString>

namespace database
{
class TDM;
}

namespace ctl
{

struct DemoUser {
    int uid;
    const char* fio;
    const char* password;
    int gid; // 0: NULL
};

// Users with known passwords (the README names them).
extern const DemoUser kDemoUsers[];
extern const int kDemoUserCount;

// Creates the ten system tables and fills them with the demo site, in one
// transaction. The database must not hold the system tables yet. Every demo
// user gets a key pair: the public key in PERSONS, the secret key in a
// software key token on USB in keysFolder/user<UID>.
void CreateDemoSite(database::TDM& dm, const QString& keysFolder);

// Sets a user's public signature key; raises when there is no such user.
void SetPublicKey(database::TDM& dm, int uid, const QString& publicKey);

// Adds a journal user with the digest of the password.
void AddUser(database::TDM& dm, int uid, const QString& fio, const QString& password, int gid);

} // namespace ctl
