#pragma once
// The stored forms of the demo site: a list form on each top-level journal
// and a record form on each of them and on OPER`NIGHT`, written in the
// component notation and stored in USERFORMS.

#include <QList>
#include <QString>

namespace database
{
class TDM;
}

namespace ctl
{

struct DemoForm {
    QString path; // the journal
    int kind;     // USERFORMS.RTYPE: record form or list form
    QString text; // the component notation
};

// The demo forms, in the order they are stored.
[[nodiscard]] QList<DemoForm> DemoForms();

// Compiles every demo form and stores it for its journal (form name " "),
// replacing what is stored there. The demo journals must exist. Failure:
// the compiler's or the server's error; forms stored before it stay.
void AddDemoForms(database::TDM& dm);

} // namespace ctl
