#include "cli/commands.h"

namespace cli {

// The Windows build has no history database: journals stay in the data
// folder, where a Linux bench can take them in.

std::string DefaultDatabase() {
    return "";
}

void RecordHistory(const RunSettings&) {}

int RunHistory(const RunSettings& settings, const HistoryOptions&) {
    settings.console->Error("the history database is not part of the Windows build");
    return kExitDatabase;
}

}  // namespace cli
