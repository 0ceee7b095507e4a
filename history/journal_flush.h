#pragma once

#include <filesystem>
#include <string>

#include "history/history_store.h"

namespace history {

struct FlushResult {
    int written = 0;    // sessions that went into the database now
    int waiting = 0;    // finished sessions still only in their journals
    std::string error;  // why they wait; empty when none does
};

// Writes every finished journal in `folder` that the database does not hold
// yet, oldest first, each in one transaction, then moves it into
// `folder`/recorded. A database that cannot be reached stops the flush: the
// rest wait in the folder for the next one. Unfinished journals stay.
FlushResult FlushJournals(HistoryStore& store, const std::filesystem::path& folder,
                          const std::string& bench);

// The same, opening the database at `where` first; a database that cannot
// be opened leaves every journal waiting.
FlushResult FlushJournals(const std::string& where, const std::filesystem::path& folder,
                          const std::string& bench);

// This machine's name, for the sessions it records.
std::string BenchName();

}  // namespace history
