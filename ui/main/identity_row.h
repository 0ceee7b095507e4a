#pragma once

#include <functional>
#include <string>

#include "protocol/calibration_identity.h"

class CDialog;

// The row above the parameters where the technician names the unit (tag,
// serial number, model: the device holds no identity register) and
// themselves. Barcode scanners type and press Enter, so Enter moves on to
// the next field. The technician's name is kept in the settings.
class CIdentityRow {
public:
    explicit CIdentityRow(CDialog& dlg) : m_dlg(dlg) {}

    // Once the template's controls exist. `changed` runs when a field was
    // left with a new text.
    void Install(std::function<void()> changed);
    void RefreshTexts();

    protocol::DeviceIdentity Identity() const;
    std::string Technician() const;
    void SetTechnician(const std::string& name);

private:
    void Changed();

    CDialog& m_dlg;
    std::function<void()> m_changed;
    protocol::DeviceIdentity m_shown;
    std::string m_technician;
};
