#pragma once

#include <cstdint>

#include "protocol/device_parameters.h"
#include "protocol/transmitter_link.h"

class CBusyRows;
class CDialog;
class CFieldMarks;

// The six parameters the user changes one at a time, and the view of the
// whole parameter record in the window's controls.
class CParameterPanel {
public:
    // params is the window's copy of the record, bound to the edits.
    CParameterPanel(CDialog& dlg, protocol::CTransmitterLink& link,
                    protocol::DeviceParameters& params, CBusyRows& busy, CFieldMarks& marks);

    void BindEdits();
    void FillBoxes();

    // The fields read replies stored since the last call -> the record and
    // their controls. Nothing else: an edit not sent yet keeps its text.
    // Returns which fields were stored (bit = register index).
    std::uint32_t ShowValues();
    // A register of the read-all did not answer: its field is emptied in
    // the record and marked in the window.
    void NoAnswer(int index);

    // Modify buttons.
    void OnSignalSource();
    void OnZeroOffset();
    void OnLowerLimit();
    void OnUpperLimit();
    void OnGain();
    void OnTempComp();

    // Outcome of a write: the timed box titled with the parameter's name.
    void ShowWriteResult(int code, bool success);

    // Name shown in the result box for an operation code; empty for others.
    static int ResultTitleId(int code);

private:
    void WriteText(protocol::OperationCode code, const std::wstring& text);
    void WriteSelection(protocol::OperationCode code, int boxId, std::uint16_t& field);
    void ShowUnit();

    void Started(protocol::OperationCode code, bool started);

    CDialog& m_dlg;
    protocol::CTransmitterLink& m_link;
    protocol::DeviceParameters& m_params;
    CBusyRows& m_busy;
    CFieldMarks& m_marks;
};
