#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "protocol/configuration_file.h"
#include "protocol/transmitter_link.h"

class CBusyRows;
class CConfigurationTable;
class CDialog;

// The Configuration menu: the device's configuration saved as a file (the
// file corvexa-cli backup writes), a file opened and shown without a device
// and edited there, a file compared with the device, and a file applied to
// it. Apply checks every word first and sends nothing if one is refused;
// then it writes the registers that differ one after the other, each
// confirmed by its echo, stops at the first that is not, and reads the
// device again to show what it holds now.
class CConfigurationActions {
public:
    // Asks where the file goes or comes from; empty when cancelled. Tests
    // answer without a dialog.
    using PathPrompt = std::function<QString(bool save)>;
    // Told of every write Apply starts, as the window's other writes are.
    using WriteListener = std::function<void(protocol::OperationCode, std::uint16_t)>;

    CConfigurationActions(CDialog& dlg, protocol::CTransmitterLink& link, CBusyRows& busy,
                          WriteListener written);
    ~CConfigurationActions();

    void SetPathPrompt(PathPrompt prompt) { m_path = std::move(prompt); }

    // online: a device is connected and its read-all is done.
    void OnSave(bool online);
    // connected: a connection is up or being made (its read-all will
    // fill the fields), online or not.
    void OnOpen(bool online, bool connected);
    void OnCompare(bool online);
    void OnApply(bool online);

    // The window shows an opened file instead of a device (offline only).
    bool ShowingFile() const { return m_showingFile; }
    // The line in the status that says so; empty when no file is shown.
    QString ShowingFileNote() const;
    // A connection starts: the fields will show the device again.
    void Connected() { m_showingFile = false; }
    // The connection ended: an Apply under way stops where it is.
    void Disconnected();
    // A write's result. True when Apply started it; the window then shows
    // no box of its own for it.
    bool WriteFinished(int code, std::intptr_t result);
    // A read-all finished: the read-back of an Apply.
    void ReadAllDone();
    void RefreshTexts();

private:
    struct SStep {
        int index;
        std::uint16_t word;  // the file's
        enum class State { Pending, Confirmed, NotConfirmed, NotSent } state = State::Pending;
        QString why;
    };

    bool LoadFile(const QString& path);
    // A file is open and the device online; otherwise a box says which is
    // missing.
    bool FileAndDevice(bool online) const;
    // The file's words with the fields the technician edited since it was
    // shown; nothing after a refusal box.
    std::optional<protocol::RegisterWords> EditedWords() const;
    void ShowFileInFields();
    // The refusals of writing the file's words over `device`, in words.
    QStringList Refusals(const protocol::RegisterWords& device) const;
    void SendNext();
    void FinishApply();
    void ShowTable(bool afterApply);
    QString WordText(int index, const protocol::RegisterWords& words) const;

    CDialog& m_dlg;
    protocol::CTransmitterLink& m_link;
    CBusyRows& m_busy;
    WriteListener m_written;
    PathPrompt m_path;

    std::optional<protocol::Configuration> m_file;
    QString m_fileName;
    bool m_showingFile = false;
    // What the fields showed when the file was put in them, by index: an
    // edit that still shows it was not changed.
    std::vector<QString> m_shownTexts;

    std::vector<SStep> m_steps;
    bool m_applying = false;
    bool m_awaitingReadBack = false;
    int m_pendingCode = -1;
    CConfigurationTable* m_table = nullptr;  // a child of the window
    bool m_tableAfterApply = false;
};
