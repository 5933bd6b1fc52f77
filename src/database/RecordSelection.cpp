#include "RecordSelection.h"

namespace database
{

SelectionCondition ComposeSelectionCondition(const RecordSelection& selection)
{
    SelectionCondition result;
    switch (selection.dateMode) {
    case DateMode::All:
        break;
    case DateMode::Created:
        result.conditions = QStringLiteral(" and (DATECREATE>=:D1 and DATECREATE<=:D2) ");
        break;
    case DateMode::RecordDate:
        result.conditions = QStringLiteral(" and (DATE1>=:D1 and DATE1<=:D2) ");
        break;
    case DateMode::RecordRange:
        result.conditions = QStringLiteral(" and (DATE2>=:D1 and DATE1<=:D2) ");
        break;
    }
    if (selection.dateMode != DateMode::All) {
        result.params.insert(QStringLiteral("D1"), selection.begin);
        result.params.insert(QStringLiteral("D2"), selection.end);
    }

    if (selection.states.isEmpty())
        return result;
    QStringList terms;
    for (const StateItem& item : selection.states)
        if (item.marked)
            terms.append(QStringLiteral("STATE=") + QString::number(item.code));
    if (terms.size() == selection.states.size())
        return result;
    result.conditions +=
        QStringLiteral("and (") +
        (terms.isEmpty() ? QStringLiteral("1=0") : terms.join(QStringLiteral(" or "))) + u')';
    return result;
}

} // namespace database
