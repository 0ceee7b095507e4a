#include "protocol/session_journal.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <iterator>
#include <system_error>

#include "base/wide_text.h"
#include "protocol/session_events.h"

namespace protocol {

namespace fs = std::filesystem;
using events::Json;

std::string PathText(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::shared_ptr<SessionJournal> SessionJournal::Open(const fs::path& path, std::string* error) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::shared_ptr<SessionJournal> journal(new SessionJournal(path));
    journal->m_out.open(path, std::ios::out | std::ios::app | std::ios::binary);
    if (!journal->m_out) {
        if (error != nullptr)
            *error = PathText(path) + ": cannot be written" +
                     (ec ? " (" + ec.message() + ")" : std::string());
        return nullptr;
    }
    return journal;
}

void SessionJournal::Append(const std::string& line) {
    std::lock_guard lock(m_mutex);
    if (m_failed) return;
    // Flushed line by line: the event is the kernel's once this returns,
    // whatever happens to the process next.
    m_out << line << '\n';
    m_out.flush();
    if (!m_out) m_failed = true;
}

bool SessionJournal::Failed() const {
    std::lock_guard lock(m_mutex);
    return m_failed;
}

namespace {

std::string FileWord(const std::string& text) {
    std::string word;
    for (unsigned char c : text)
        word += (std::isalnum(c) && c < 0x80) || c == '-' || c == '_' ? static_cast<char>(c) : '_';
    return word.empty() ? std::string("-") : word;
}

void Replay(CalibrationSession& s, const Json& e) {
    const std::string name = e.at("event").get<std::string>();
    const auto time = events::TimeOf(e);
    if (name == "start") {
        SessionContext context{events::IdentityOf(e.at("identity")),
                               e.at("technician").get<std::string>(),
                               e.at("software").get<std::string>()};
        s.Start(time, corvexa::base::FromUtf8(e.at("port").get<std::string>()),
                events::WordsOf(e.at("as-found")), std::move(context));
        return;
    }
    // Nothing counts before the session began.
    if (!s.Started()) throw Json::other_error::create(501, "event before start", &e);
    if (name == "identity") {
        s.SetIdentity(events::IdentityOf(e.at("identity")));
    } else if (name == "technician") {
        s.SetTechnician(e.at("name").get<std::string>());
    } else if (name == "references") {
        std::vector<ReferenceInstrument> used;
        for (const Json& r : e.at("used")) used.push_back(events::ReferenceOf(r));
        s.SetReferences(used);
    } else if (name == "verification") {
        s.RecordVerification(events::RunOf(e.at("run")));
    } else if (name == "as-left") {
        s.RecordAsLeft(events::WordsOf(e.at("words")));
    } else if (name == "certificate") {
        s.RecordCertificate({e.at("number").get<std::string>(), e.at("file").get<std::string>()});
    } else if (name == "end") {
        s.Finish(time);
    } else if (name == "write") {
        const auto code = static_cast<OperationCode>(events::IntegerOf<int>(e.at("code")));
        if (ParamIndexOf(code) < 0) throw Json::other_error::create(501, "write code", &e);
        s.BeginWrite(time, code, corvexa::base::FromUtf8(e.at("old").get<std::string>()),
                     corvexa::base::FromUtf8(e.at("new").get<std::string>()));
    } else if (name == "write-result") {
        s.CompleteWrite(static_cast<OperationCode>(events::IntegerOf<int>(e.at("code"))),
                        e.at("success").get<bool>());
    } else if (name == "sample") {
        const auto code = static_cast<OperationCode>(events::IntegerOf<int>(e.at("code")));
        if (code != OperationCode::WriteZeroSample && code != OperationCode::WriteFullSample)
            throw Json::other_error::create(501, "sample code", &e);
        s.RecordSample(time, code, events::IntegerOf<std::uint16_t>(e.at("word")),
                       events::VerdictOf(e.at("verdict")));
    } else if (name == "trim") {
        TrimRequest request;
        TrimResult result;
        events::TrimOf(e.at("trim"), request, result);
        s.RecordTrim(time, request, result);
    } else {
        throw Json::other_error::create(501, "unknown event", &e);
    }
}

}  // namespace

fs::path JournalPathFor(const fs::path& folder, WallClock::time_point time,
                        const DeviceIdentity& identity) {
    const std::time_t t = WallClock::to_time_t(time);
    char stamp[32] = "";
    {
        // std::gmtime shares one buffer; sessions start rarely, the lock costs nothing.
        static std::mutex clock;
        std::lock_guard lock(clock);
        if (const std::tm* utc = std::gmtime(&t))
            std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", utc);
    }
    const std::string stem =
        std::string(stamp) + "-" + FileWord(identity.tag) + "-" + FileWord(identity.serial);
    // Two sessions of one unit in the same second (a script, a quick
    // retry) each get a journal of their own, written or not.
    std::string name = stem + ".jsonl";
    std::error_code ec;
    for (int n = 2; fs::exists(folder / name, ec) || fs::exists(folder / "recorded" / name, ec);
         ++n)
        name = stem + "-" + std::to_string(n) + ".jsonl";
    return folder / name;
}

std::optional<JournalContent> ReadJournal(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return ReadJournal(in);
}

std::optional<JournalContent> ReadJournal(std::istream& in) {
    JournalContent content;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        try {
            Replay(content.session, Json::parse(line));
        } catch (const nlohmann::json::exception&) {
            ++content.skippedLines;
        }
    }
    if (!content.session.Started()) return std::nullopt;
    return content;
}

void CloseJournal(const fs::path& path, const std::optional<CertificateRecord>& certificate) {
    const auto journal = SessionJournal::Open(path, nullptr);
    if (!journal) return;
    const auto now = WallClock::now();
    if (certificate) {
        Json e = events::Head("certificate", now);
        e["number"] = certificate->number;
        e["file"] = certificate->file;
        journal->Append(e.dump());
    }
    journal->Append(events::Head("end", now).dump());
}

// Our writers append nothing after the end event, so its last few bytes
// tell a finished session: a bench keeps thousands of journals.
bool JournalEndsFinished(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    constexpr std::streamoff kTail = 256;  // an end event is about 40 bytes
    in.seekg(size > kTail ? size - kTail : 0);
    std::string tail((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r')) tail.pop_back();
    const Json last = Json::parse(tail.substr(tail.find_last_of('\n') + 1), nullptr, false);
    return last.is_object() && last.contains("event") && last.at("event") == "end";
}

std::vector<fs::path> UnfinishedJournals(const fs::path& folder, const DeviceIdentity& device) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().extension() != ".jsonl" || JournalEndsFinished(entry.path())) continue;
        const auto content = ReadJournal(entry.path());
        if (content && !content->session.Finished() &&
            content->session.Context().identity.SameDevice(device))
            found.push_back(entry.path());
    }
    // The names start with the time, so the newest sorts last.
    std::sort(found.rbegin(), found.rend());
    return found;
}

}  // namespace protocol
