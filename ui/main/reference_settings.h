#pragma once

#include <string>
#include <vector>

#include "protocol/calibration_identity.h"

// The bench's reference instruments, kept in the settings with which of
// them the technician uses now.
struct SReferenceEntry {
    protocol::ReferenceInstrument instrument;
    bool used = false;
};
std::vector<SReferenceEntry> LoadReferences();
void SaveReferences(const std::vector<SReferenceEntry>& references);

// Today as YYYY-MM-DD, the form reference dates are compared in.
std::string TodayText();
