#pragma once

#include <QString>

#include "protocol/line_doctor.h"

// The window's words for a handshake that got no answer: at which rate on
// which port, what the line did, and where the probe found the device.
QString LineDiagnosisText(const protocol::LineDiagnosis& diagnosis, const QString& port);
