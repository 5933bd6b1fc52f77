#pragma once
// The condition of a record selection, as the selection dialog composes it
// from its answers, for TDM::OpenUserQuery.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantMap>

namespace database
{

// Which date decides: 0 none, 1 the creation date, 2 the date in the record
// (DATE1), 3 the record's own range DATE1 to DATE2 overlapping the chosen one.
enum class DateMode : int { All = 0, Created = 1, RecordDate = 2, RecordRange = 3 };

// One item of the states list: a state code and whether it is marked.
struct StateItem {
    int code = 0;
    bool marked = true;
};

struct RecordSelection {
    DateMode dateMode = DateMode::All;
    QDateTime begin;         // D1
    QDateTime end;           // D2
    QList<StateItem> states; // in list order; empty when the journal has none
};

// The composed condition and its parameters.
struct SelectionCondition {
    QString conditions; // appended after "where (coretable.RecID>0) "
    QVariantMap params; // "D1" and "D2" for the date modes 1 to 3
};

// The date part (" and (DATECREATE>=:D1 and DATECREATE<=:D2) " and the like)
// followed by the state part ("and (STATE=0 or STATE=2)"), which is left out
// when every state is marked. With states but none marked the state part
// selects no record ("and (1=0)") rather than giving text that a server
// rejects.
[[nodiscard]] SelectionCondition ComposeSelectionCondition(const RecordSelection& selection);

} // namespace database
