#include "LogOnCatalogue.h"

#include "DMUnit.h"
#include "JConnection.h"
#include "MagCommon.h"

using database::LogOn;

namespace startup
{

void LoadUserCatalogue(database::TDM& dm, LogOnView& view)
{
    if (!LogOn().ReferencesLoaded) {
        catalogue::CreateRefList(dm);
        LogOn().ReferencesLoaded = true;
    }
    dm.ConformsTable->close();
    dm.ConformsTable->open();

    catalogue::JournalTree& journals = view.journalTree();
    journals.clear();
    catalogue::BuildJournalTree(dm, journals);
    catalogue::PruneUnreadableJournals(journals);
    view.journalTreeRebuilt();

    catalogue::EquipmentTree& equipment = view.equipmentTree();
    catalogue::BuildEquipmentTree(dm, equipment, catalogue::EquipmentTreeRole::Main);
    equipment.sortByCaption();
    view.chooser().refill(equipment);
}

void UnloadUserCatalogue(database::TDM& dm)
{
    catalogue::FreeRefList(dm);
    LogOn().ReferencesLoaded = false;
}

} // namespace startup
