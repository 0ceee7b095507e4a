#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "protocol/output_trim.h"
#include "ui/framework/dialog.h"

// "Trim with a meter…": the technician applies the zero input, types what the
// meter on the output reads, then the same at the full input; the dialog
// shows the zero and full output words the two-point line gives and, on
// confirmation, hands them to its owner, which sends them. Then it offers
// another round, starting from the words just sent.
class CTrimDialog : public CDialog {
public:
    static constexpr int kTemplate = 170;
    enum : int {
        IDC_SIGNAL_LABEL = 1170,
        IDC_SIGNAL = 1171,
        IDC_NOTE = 1172,
        IDC_TARGET_HEAD = 1173,
        IDC_READING_HEAD = 1174,
        IDC_NOW_HEAD = 1175,
        IDC_NEW_HEAD = 1176,
        IDC_ZERO_LABEL = 1177,
        IDC_ZERO_TARGET = 1178,
        IDC_ZERO_READING = 1179,
        IDC_ZERO_NOW = 1180,
        IDC_ZERO_NEW = 1181,
        IDC_FULL_LABEL = 1182,
        IDC_FULL_TARGET = 1183,
        IDC_FULL_READING = 1184,
        IDC_FULL_NOW = 1185,
        IDC_FULL_NEW = 1186,
        IDC_STATUS = 1187,
        IDC_SEND = 1188,
        IDC_ANOTHER_ROUND = 1189,
    };

    // The owner sends result.newZeroWord and result.newFullWord (checked
    // writes of the zero and full output) and records the trim.
    using ConfirmHandler = std::function<void(const protocol::TrimRequest& request,
                                              const protocol::TrimResult& result)>;

    CTrimDialog(std::uint16_t zeroWord, std::uint16_t fullWord, QWidget* parent = nullptr);

    void SetConfirmHandler(ConfirmHandler handler) { m_onConfirm = std::move(handler); }
    // The output kind preselected (4-20 mA unless set); also once shown.
    void SetSignal(protocol::OutputSignal signal);
    // The words the device holds, e.g. when a send failed or the words were
    // read back; starts a new round from them.
    void SetCurrentWords(std::uint16_t zeroWord, std::uint16_t fullWord);
    void RefreshTexts();

    // What the readings typed now give: nothing while a reading is missing.
    std::optional<protocol::TrimResult> Result() const;
    std::uint16_t ZeroWord() const { return m_zeroWord; }
    std::uint16_t FullWord() const { return m_fullWord; }
    // Rounds confirmed so far.
    int RoundsSent() const { return m_roundsSent; }

protected:
    bool OnInitDialog() override;

private:
    protocol::OutputSignal Signal() const;
    std::optional<protocol::TrimRequest> Request() const;
    void StartRound();
    void Recompute();
    void OnSend();
    void OnAnotherRound();

    std::uint16_t m_zeroWord;
    std::uint16_t m_fullWord;
    protocol::OutputSignal m_signal = protocol::OutputSignal::Current4To20mA;
    bool m_sent = false;  // this round's words went to the owner
    int m_roundsSent = 0;
    ConfirmHandler m_onConfirm;
};
