#pragma once
// The log-on values of the running program: who is logged on, in which group,
// and whether the reference cache is loaded. Set by the log-on and Disconnect,
// read by the record storage, the rights and the catalogue.

namespace database
{

struct LogOnValues {
    int CurrentUID = -1; // PERSONS.UID of the logged-on user; -1 when nobody is
    int CurrentGID = 0;  // the user's group; 0 when PERSONS.GID is NULL
    bool ReferencesLoaded = false;
};

// The one set of the program.
LogOnValues& LogOn();

} // namespace database
