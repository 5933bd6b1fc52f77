#include "LogOnValues.h"

namespace database
{

LogOnValues& LogOn()
{
    static LogOnValues values;
    return values;
}

} // namespace database
