#pragma once

#include <functional>

#include "protocol/device_parameters.h"
#include "protocol/transmitter_link.h"

class CBusyRows;
class CDialog;
class CFieldMarks;

// Input calibration (watch the raw zero or full sample, then store it) and
// output trimming (step the raw zero and full output words, then set them).
class CCalibrationPanel {
public:
    CCalibrationPanel(CDialog& dlg, protocol::CTransmitterLink& link,
                      protocol::DeviceParameters& params, CBusyRows& busy, CFieldMarks& marks);

    using SamplingListener = std::function<void(int index, bool on)>;
    using WriteListener = std::function<void(protocol::OperationCode code, std::uint16_t word)>;
    // Told when sampling of register index 10 or 11 starts or ends, and of
    // every write this panel starts.
    void SetListeners(SamplingListener sampling, WriteListener written) {
        m_onSampling = std::move(sampling);
        m_onWrite = std::move(written);
    }

    // Spin ranges and buddies; once the controls exist.
    void InitSpins();

    void OnZeroSample();
    void OnFullSample();
    void OnZeroOutputSet();
    void OnFullOutputSet();
    // A sampling read of register index 10 or 11 got no reply.
    void SampleMissed(int index);
    // Up-down "position about to change" with step delta; 0 lets it proceed.
    long OnZeroOutputSpin(int delta);
    long OnFullOutputSpin(int delta);

private:
    struct SSampleKind;
    void ToggleSampling(const SSampleKind& kind);
    long Step(std::wstring& field, int delta);
    void SendText(protocol::OperationCode code, const std::wstring& text);

    CDialog& m_dlg;
    protocol::CTransmitterLink& m_link;
    protocol::DeviceParameters& m_params;
    CBusyRows& m_busy;
    CFieldMarks& m_marks;
    SamplingListener m_onSampling;
    WriteListener m_onWrite;
};
