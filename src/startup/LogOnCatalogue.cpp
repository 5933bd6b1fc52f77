#include "LogOnCatalogue.h"

#include "DMUnit.h"
#include "JConnection.h"

using database::LogOn;

namespace startup {

void LoadUserCatalogue(database::TDM& dm, LogOnView& /*view*/)
{
    // Step 11, the reference cache, comes with the catalogue subsystem.
    if (!LogOn().ReferencesLoaded)
        LogOn().ReferencesLoaded = true;
    // Step 12.
    dm.ConformsTable->close();
    dm.ConformsTable->open();
    // Steps 13 to 16, the journal tree with its rights and the equipment
    // trees, come with the catalogue subsystem.
}

void UnloadUserCatalogue(database::TDM& /*dm*/) { LogOn().ReferencesLoaded = false; }

}  // namespace startup
