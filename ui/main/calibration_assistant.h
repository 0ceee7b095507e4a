#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "protocol/calibration_session.h"
#include "protocol/device_parameters.h"
#include "protocol/registers.h"
#include "protocol/transmitter_link.h"
#include "ui/main/identity_row.h"

class CBusyRows;
class CDialog;
class CHistoryWindow;
class CVerificationWindow;
class QDateTime;
class CStabilityMark;
class CTrendWidget;
class CTrimDialog;

// The factory window's calibration assistant: the unit's identity, the live
// trend and the stability marks while a sample is read, the meter trim of
// the output words, the verifications, and the session record behind the
// certificate, journalled as it happens.
class CCalibrationAssistant {
public:
    // How the report asks the technician; tests answer without a dialog.
    struct SReportPrompts {
        // The technician's name; nothing when the technician cancels.
        std::function<std::optional<QString>()> technician;
        // Where the PDF goes, from a suggested path; empty when cancelled.
        std::function<QString(const QString& suggested)> pdfPath;
        // A yes/no question; true for yes.
        std::function<bool(const QString& question)> confirm;
    };

    // `journalFolder`: where each session's journal is written.
    CCalibrationAssistant(CDialog& dlg, protocol::CTransmitterLink& link,
                          protocol::DeviceParameters& params, CBusyRows& busy,
                          QString journalFolder, QString database = QString());
    ~CCalibrationAssistant();

    // Once the template's controls exist: the trend and the marks take the
    // places the template keeps for them.
    void InstallControls();
    void ShowForVersion(bool factory);
    void EnableControls(bool online);
    void RefreshTexts();

    // A new connection to `port`; its first complete read-all is the as-found.
    void Connected(std::wstring port);
    void Disconnected();
    // A read-all finished: the as-found of a new session, or the as-left of
    // a report that waits for it.
    void ReadAllDone();
    // After the window took the fields read replies stored (bit = index).
    // changed: the register indexes just shown; sampled: those of them the
    // sampling poll read, the only ones that are readings of the input.
    void ValuesShown(std::uint32_t changed, std::uint32_t sampled);
    void SamplingChanged(int index, bool on);

    // Every write the window starts, and its result. The result's text is
    // the note the result box adds (empty: none).
    void WriteStarted(protocol::OperationCode code, std::uint16_t word);
    QString WriteFinished(int code, bool success);

    void OnTrim();
    void OnReport();
    void OnVerify();
    void OnHistory();
    // Before the window closes: false when the technician wants to keep it
    // open (the session changed the device and has no certificate).
    bool MayClose();
    // The window closes: the session ends in its journal.
    void Closing();

private:
    friend class CCorvexaDlgTestPeer;

    CStabilityMark* Mark(int index) const;
    QString WordText(int index, const std::optional<std::uint16_t>& word) const;
    void SendTrimWord(protocol::OperationCode code, std::uint16_t word);
    void FinishReport();
    std::optional<QString> Technician();
    void StartSession(const protocol::RegisterWords& asFound);
    void IdentityChanged();
    // The journal could not be opened or written: said once, with why.
    void WarnJournal(const QString& why);
    void CheckJournal();
    // Offers the certificate of each journal of this device that a crash
    // or a kill left unfinished; each is closed after.
    void OfferUnfinished(const protocol::DeviceIdentity& device);
    // Saves the certificate of `session`; its number and file, or nothing
    // when the technician cancelled or the file could not be written.
    std::optional<protocol::CertificateRecord> SaveCertificate(
        const protocol::CalibrationSession& session, const protocol::RegisterWords& asLeft);

    CDialog& m_dlg;
    protocol::CTransmitterLink& m_link;
    protocol::DeviceParameters& m_params;
    CBusyRows& m_busy;

    CTrendWidget* m_trend = nullptr;
    CStabilityMark* m_zeroMark = nullptr;
    CStabilityMark* m_fullMark = nullptr;
    std::unique_ptr<CTrimDialog> m_trim;
    bool m_factory = false;
    int m_sampling = -1;  // register index being sampled, -1: none

    protocol::CalibrationSession m_session;
    std::wstring m_port;
    bool m_awaitingAsFound = false;
    bool m_reportWaiting = false;
    // What the device holds as far as the window knows: read words, then
    // the words of successful writes.
    protocol::RegisterWords m_known{};
    std::deque<std::pair<int, std::uint16_t>> m_pendingWords;  // code, word
    // Sample stores whose reading was not stable, by code, until their result.
    std::deque<int> m_unstableStores;
    SReportPrompts m_prompts;
    QString m_lastReport;
    CIdentityRow m_identity;
    CVerificationWindow* m_verify = nullptr;  // a child of the window
    CHistoryWindow* m_history = nullptr;      // a child of the window
    // Writes the finished journals into the history database on a thread
    // of its own (a server may take its time to answer); the window's
    // status says when they wait.
    void WriteHistory();
    // The next certificate number from the database's sequence; the
    // bench's own counter when the database cannot be used.
    QString CertificateNumber(const QDateTime& made);

    QString m_journalFolder;
    QString m_database;
    std::thread m_historyWriter;
    bool m_journalWarned = false;
    // Devices whose unfinished journals were offered already.
    std::vector<std::pair<std::string, std::string>> m_offered;
};
