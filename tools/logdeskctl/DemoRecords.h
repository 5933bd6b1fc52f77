#pragma once
// Demo records for a site whose journals, references and equipment exist.

namespace database
{
class TDM;
}

namespace ctl
{

// For every journal of MAGS that has no journals below it, adds a few hundred
// records dated over the last two months: states from the journal's STATE
// reference, reference codes and equipment paths for the fields that
// CONFORMS links, extension values by column type, automatic numbers from
// NEXTNUMS (advanced past the numbers given), and history rows (a creation
// row each, a change row for some). Reads everything from the tables; runs in
// one transaction. The same database always gets the same records.
void AddDemoRecords(database::TDM& dm);

} // namespace ctl
