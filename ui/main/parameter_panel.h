#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "protocol/device_parameters.h"
#include "protocol/transmitter_link.h"

class CBusyRows;
class CDialog;
struct SField;
class CFieldMarks;

// The six parameters the user changes one at a time, and the view of the
// whole parameter record in the window's controls.
class CParameterPanel {
public:
    // params is the window's copy of the record, bound to the edits.
    CParameterPanel(CDialog& dlg, protocol::CTransmitterLink& link,
                    protocol::DeviceParameters& params, CBusyRows& busy, CFieldMarks& marks);

    void BindEdits();
    // Told of every write this panel starts.
    void SetWriteListener(std::function<void(protocol::OperationCode, std::uint16_t)> listener) {
        m_onWrite = std::move(listener);
    }
    void FillBoxes();

    // The fields read replies stored since the last call -> the record and
    // their controls. Nothing else: an edit not sent yet keeps its text.
    // Returns which fields were stored (bit = register index).
    // Which register indexes it showed, and which of them the sampling
    // poll read (only those are sample readings).
    struct SShown {
        std::uint32_t changed = 0;
        std::uint32_t sampled = 0;
    };
    SShown ShowValues();
    // A register of the read-all did not answer: its field is emptied in
    // the record and marked in the window.
    void NoAnswer(int index);
    // The device refused to read register `index`; `words` say how.
    void Refused(int index, const QString& words);

    // The Modify button of a field: its box's selection or its edit's text,
    // checked, goes to the device.
    void OnModify(const SField& field);

    // Outcome of a write: the timed box titled with the parameter's name,
    // with `note` under the outcome when there is one.
    // result: the message's ResultParam (1 done).
    void ShowWriteResult(int code, std::intptr_t result, const QString& note = QString());

    // Name shown in the result box for an operation code; empty for others.
    static int ResultTitleId(int code);

private:
    void WriteText(protocol::OperationCode code, const std::wstring& text);
    void WriteSelection(protocol::OperationCode code, int boxId, std::uint16_t& field);
    void ShowUnit();

    void Started(protocol::OperationCode code, std::optional<std::uint16_t> word);

    CDialog& m_dlg;
    protocol::CTransmitterLink& m_link;
    protocol::DeviceParameters& m_params;
    CBusyRows& m_busy;
    CFieldMarks& m_marks;
    std::function<void(protocol::OperationCode, std::uint16_t)> m_onWrite;
};
