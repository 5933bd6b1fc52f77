#pragma once
// A large site for benchmarks: the ten system tables, one journal "BIG`"
// (below it "BIG`A`" and "BIG`B`") with a ten-column extension table EXT_BIG,
// three reference-linked fields (R1, R2, R3 on references REF_A, REF_B,
// REF_C), the equipment-linked OBJECT field, and a deep equipment tree.
// Contents are made from a fixed seed, so every build of one size is alike.

#include "Server.h"

namespace bench
{

struct LargeSiteSize {
    int records = 200000;
    int equipment = 100000;
};

inline constexpr const char* kLargeJournal = "BIG`";
inline constexpr const char* kLargeExtTable = "EXT_BIG";

// Fills an empty database on server with the site. Raises when a statement
// fails.
void BuildLargeSite(platform::Server& server, const LargeSiteSize& size);

// Whether LOGDESK_TEST_PG names a PostgreSQL cluster for the benchmarks.
bool LargeSitePostgresAvailable();

// Gives server (of the kind BDE for SQLite, TCP for PostgreSQL) the settings
// of the benchmark database of that size, building the database at first
// use and keeping it for later runs: an SQLite file in the temporary folder,
// or the database "ld_bench_<records>" on the cluster of LOGDESK_TEST_PG.
// The server is left closed.
void ConfigureLargeSite(platform::Server& server, const LargeSiteSize& size);

} // namespace bench
