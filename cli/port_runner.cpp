#include "cli/port_runner.h"

#include <nlohmann/json.hpp>
#include <thread>

#include "cli/impl/platform.h"
#include "cli/stop_signal.h"
#include "protocol/session_journal.h"
#include "protocol/trace_file.h"

namespace cli {

namespace {}  // namespace

std::shared_ptr<protocol::SessionJournal> OpenJournal(const RunSettings& settings,
                                                      const protocol::DeviceIdentity& identity) {
    const std::string folder = JournalFolder();
    std::string error = "no data folder (set XDG_DATA_HOME or HOME)";
    std::shared_ptr<protocol::SessionJournal> journal;
    if (!folder.empty())
        journal = protocol::SessionJournal::Open(
            protocol::JournalPathFor(std::filesystem::u8path(folder), protocol::WallClock::now(),
                                     identity),
            &error);
    if (!journal) settings.console->Error("the session is not journalled: " + error);
    return journal;
}

namespace {

int RunOne(const RunSettings& settings, std::size_t slot, bool showProgress,
           const std::function<int(DeviceSession&)>& job) {
    Console& console = *settings.console;
    const std::string& port = settings.ports[slot];
    DeviceSession session(port, settings.factory, settings.trace, settings.line);
    if (showProgress && console.ShowsProgress()) {
        session.SetReadProgress([&console, slot, port](int reg, int n, int of) {
            console.SetProgress(slot, port + ": register " + std::to_string(reg) + " (" +
                                          std::to_string(n) + " of " + std::to_string(of) + ")");
        });
    }
    bool portProblem = false;
    if (const auto problem = session.Open(portProblem)) {
        console.Error(*problem);
        if (settings.json) console.Print(PortErrorJson(port, *problem));
        return portProblem ? kExitPort : kExitNoAnswer;
    }
    if (!session.Connect()) {
        if (StopRequested()) return kExitNoAnswer;
        const auto failure = session.HandshakeFailure();
        if (failure && failure->failure == protocol::ExchangeFailure::LineBusy) {
            console.Error(port + ": " + protocol::DescribeFailure(*failure) +
                          "; nothing was sent; check that no other device talks on this line");
        } else {
            const protocol::LineDiagnosis diagnosis = session.DiagnoseAndProbe();
            console.Error(port + ": the device did not answer the connect request: " +
                          protocol::DiagnosisText(diagnosis));
            if (settings.json) console.Print(DiagnosisJson(port, diagnosis));
        }
        return kExitNoAnswer;
    }
    session.StartRecord(settings.context, RecordsSessions(settings)
                                              ? OpenJournal(settings, settings.context.identity)
                                              : nullptr);
    const int status = job(session);
    protocol::CalibrationSession& record = session.Record();
    record.Finish(protocol::WallClock::now());
    if (const protocol::SessionJournal* journal = record.Journal(); journal && journal->Failed())
        console.Error("the session journal could not be written: " +
                      protocol::PathText(journal->Path()));
    return status;
}

}  // namespace

bool RecordsSessions(const RunSettings& settings) {
    return !settings.context.identity.tag.empty() || !settings.context.identity.serial.empty();
}

std::string JournalFolder() {
    const std::string data = DataFolder();
    return data.empty() ? data : protocol::PathText(std::filesystem::u8path(data) / "journal");
}

int RunOnPorts(const RunSettings& settings, bool showProgress,
               const std::function<int(DeviceSession&)>& job) {
    if (RecordsSessions(settings) && settings.ports.size() > 1) {
        settings.console->Error(
            "--tag and --serial name one unit: give one port, or leave them out");
        return kExitUsage;
    }
    std::vector<int> codes(settings.ports.size(), kExitOk);
    std::vector<std::thread> threads;
    for (std::size_t slot = 0; slot < settings.ports.size(); ++slot) {
        threads.emplace_back(
            [&, slot] { codes[slot] = RunOne(settings, slot, showProgress, job); });
    }
    for (std::thread& t : threads) t.join();
    settings.console->ClearProgress();
    if (RecordsSessions(settings)) RecordHistory(settings);
    for (int code : codes) {
        if (code != kExitOk) return code;
    }
    return kExitOk;
}

std::string NotWrittenText(const protocol::ExchangeOutcome& outcome) {
    if (outcome.failure == protocol::ExchangeFailure::NoAnswer)
        return "not confirmed after " + std::to_string(outcome.attempts) + " attempts";
    return protocol::DescribeFailure(outcome);
}

std::string PortErrorJson(const std::string& port, const std::string& problem) {
    return nlohmann::ordered_json{
        {"format", "corvexa-error"}, {"port", port}, {"error", "port"}, {"text", problem}}
        .dump();
}

std::string DiagnosisJson(const std::string& port, const protocol::LineDiagnosis& diagnosis) {
    nlohmann::ordered_json d{{"heard", protocol::SymptomName(diagnosis.symptom)},
                             {"baud", diagnosis.baud}};
    if (diagnosis.symptom == protocol::LineSymptom::NoReply)
        d["first_bytes"] = protocol::HexText(diagnosis.firstBytes);
    d["probed"] = diagnosis.probed;
    d["answered_at"] =
        diagnosis.answeredAt ? nlohmann::ordered_json(*diagnosis.answeredAt) : nullptr;
    d["text"] = protocol::DiagnosisText(diagnosis);
    return nlohmann::ordered_json{
        {"format", "corvexa-error"}, {"port", port}, {"error", "no answer"}, {"diagnosis", d}}
        .dump();
}

std::string RegisterList(const std::vector<int>& registers) {
    std::string text = registers.size() == 1 ? "register " : "registers ";
    for (std::size_t i = 0; i < registers.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(registers[i]);
    }
    return text;
}

}  // namespace cli
