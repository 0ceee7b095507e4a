#pragma once

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "protocol/calibration_session.h"

namespace protocol {

// The append-only record of one session: one JSON object per line, each
// handed to the operating system as soon as it is written, so a crash or a
// kill of the program loses no event before it. A journal that cannot be
// written says so (Failed) and never stops the session.
class SessionJournal {
public:
    // Creates the folders and opens the file for appending.
    static std::shared_ptr<SessionJournal> Open(const std::filesystem::path& path,
                                                std::string* error);

    void Append(const std::string& line);
    const std::filesystem::path& Path() const { return m_path; }
    bool Failed() const;

private:
    explicit SessionJournal(std::filesystem::path path) : m_path(std::move(path)) {}

    std::filesystem::path m_path;
    mutable std::mutex m_mutex;
    std::ofstream m_out;
    bool m_failed = false;
};

// A path as UTF-8 text, for messages and JSON.
std::string PathText(const std::filesystem::path& path);

// The journal's name in `folder` for a session starting at `time`:
// "20261209T081530Z-<tag>-<serial>.jsonl" (the time in UTC), with characters that are not
// letters, digits, '-' or '_' in tag and serial made '_'; "-2.jsonl" and on when a journal
// of that name is in the folder or in its recorded/ already.
std::filesystem::path JournalPathFor(const std::filesystem::path& folder,
                                     WallClock::time_point time, const DeviceIdentity& identity);

// The session a journal holds, rebuilt event by event. Lines that are not
// events (a line cut short by the crash, a foreign line) are skipped and
// counted. Nothing when the file cannot be read or holds no start event.
struct JournalContent {
    CalibrationSession session;
    std::size_t skippedLines = 0;
};
std::optional<JournalContent> ReadJournal(const std::filesystem::path& path);
std::optional<JournalContent> ReadJournal(std::istream& in);

// Ends the session a journal holds (with the certificate made from it,
// if any), so that it is not offered again.
void CloseJournal(const std::filesystem::path& path,
                  const std::optional<CertificateRecord>& certificate);

// Whether a journal's last line is its end event: the session is over.
bool JournalEndsFinished(const std::filesystem::path& path);

// The journals in `folder` of sessions of `device` (same tag and serial)
// that never finished, newest first.
std::vector<std::filesystem::path> UnfinishedJournals(const std::filesystem::path& folder,
                                                      const DeviceIdentity& device);

}  // namespace protocol
