#include "history/journal_flush.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "history/sha256.h"
#include "protocol/session_journal.h"

namespace history {

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> FinishedJournals(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.path().extension() == ".jsonl" && protocol::JournalEndsFinished(entry.path()))
            found.push_back(entry.path());
    // The names begin with the time: oldest first.
    std::sort(found.begin(), found.end());
    return found;
}

bool MoveToRecorded(const fs::path& journal) {
    std::error_code ec;
    const fs::path recorded = journal.parent_path() / "recorded";
    fs::create_directories(recorded, ec);
    // Never over another journal: a name taken there is kept beside it.
    fs::path target = recorded / journal.filename();
    for (int n = 2; fs::exists(target, ec); ++n)
        target = recorded / (journal.stem().string() + "~" + std::to_string(n) + ".jsonl");
    fs::rename(journal, target, ec);
    return !ec;
}

}  // namespace

FlushResult FlushJournals(HistoryStore& store, const fs::path& folder, const std::string& bench) {
    FlushResult result;
    const std::vector<fs::path> journals = FinishedJournals(folder);
    for (std::size_t i = 0; i < journals.size(); ++i) {
        const fs::path& path = journals[i];
        std::ifstream in(path, std::ios::binary);
        std::stringstream events;
        events << in.rdbuf();
        std::istringstream replay(events.str());
        std::optional<protocol::JournalContent> content = protocol::ReadJournal(replay);
        if (!content) continue;  // no session in it: nothing to keep
        SessionRecord record{std::move(content->session),
                             bench,
                             protocol::PathText(path.filename()),
                             events.str(),
                             {}};
        if (const auto& certificate = record.session.Certificate())
            record.certificateSha256 =
                FileSha256Hex(fs::u8path(certificate->file)).value_or(std::string());
        try {
            store.RecordSession(record);
        } catch (const DatabaseError& e) {
            result.error = e.what();
            result.waiting = static_cast<int>(journals.size() - i);
            return result;
        }
        ++result.written;
        // Written, but left in place when it cannot move: the next flush
        // finds the session there and only tries the move again.
        MoveToRecorded(path);
    }
    return result;
}

FlushResult FlushJournals(const std::string& where, const fs::path& folder,
                          const std::string& bench) {
    try {
        const auto store = HistoryStore::Open(where);
        return FlushJournals(*store, folder, bench);
    } catch (const DatabaseError& e) {
        FlushResult result;
        result.error = e.what();
        result.waiting = static_cast<int>(FinishedJournals(folder).size());
        return result;
    }
}

std::string BenchName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "bench";
    return name;
}

}  // namespace history
