#include "ui/main/field_table.h"

#include "protocol/register_table.h"
#include "ui/main/control_ids.h"
#include "ui/main/main_text_ids.h"

using namespace mainwnd;
using namespace maintext;

// clang-format off
const std::array<SField, kFieldCount> kFields = {{
    // index                      control          button               label                  unit             note             noteText         buttonText   sample factory
    {protocol::kSignalSourceIndex, IDC_SOURCE,      IDC_SOURCE_SET,      IDC_SOURCE_LABEL,      0,               IDC_SOURCE_NOTE, kSourceNoteText, kModifyText, false, false},
    {protocol::kZeroOffsetIndex,   IDC_OFFSET,      IDC_OFFSET_SET,      IDC_OFFSET_LABEL,      IDC_OFFSET_UNIT, IDC_OFFSET_NOTE, kOffsetNoteText, kModifyText, false, false},
    {protocol::kLowerLimitIndex,   IDC_LOWER,       IDC_LOWER_SET,       IDC_LOWER_LABEL,       IDC_LOWER_UNIT,  0,               0,               kModifyText, false, false},
    {protocol::kUpperLimitIndex,   IDC_UPPER,       IDC_UPPER_SET,       IDC_UPPER_LABEL,       IDC_UPPER_UNIT,  IDC_RANGE_NOTE,  kRangeNoteText,  kModifyText, false, false},
    {protocol::kGainIndex,         IDC_GAIN,        IDC_GAIN_SET,        IDC_GAIN_LABEL,        0,               IDC_GAIN_NOTE,   kGainNoteText,   kModifyText, false, true},
    {protocol::kTempCompIndex,     IDC_TEMP,        IDC_TEMP_SET,        IDC_TEMP_LABEL,        IDC_TEMP_UNIT,   IDC_TEMP_NOTE,   kTempNoteText,   kModifyText, false, true},
    {protocol::kZeroSampleIndex,   IDC_ZERO_SAMPLE, IDC_ZERO_SAMPLE_BTN, IDC_ZERO_SAMPLE_LABEL, 0,               0,               0,               kReadText,   true,  true},
    {protocol::kFullSampleIndex,   IDC_FULL_SAMPLE, IDC_FULL_SAMPLE_BTN, IDC_FULL_SAMPLE_LABEL, 0,               0,               0,               kReadText,   true,  true},
    {protocol::kZeroOutputIndex,   IDC_ZERO_OUT,    IDC_ZERO_OUT_SET,    IDC_ZERO_OUT_LABEL,    0,               IDC_OUT_NOTE,    kOutNoteText,    kSetText,    false, true},
    {protocol::kFullOutputIndex,   IDC_FULL_OUT,    IDC_FULL_OUT_SET,    IDC_FULL_OUT_LABEL,    0,               0,               0,               kSetText,    false, true},
}};
// clang-format on

const SField* FieldOfIndex(int index) {
    for (const SField& f : kFields)
        if (f.index == index) return &f;
    return nullptr;
}

const SField* FieldOfCode(int code) {
    const protocol::RegisterRow* row =
        protocol::RowOfWrite(static_cast<protocol::OperationCode>(code));
    return row != nullptr ? FieldOfIndex(row->index) : nullptr;
}

std::vector<int> ParameterControls() {
    std::vector<int> ids;
    for (const SField& f : kFields) ids.insert(ids.end(), {f.control, f.button});
    return ids;
}

std::vector<int> FactoryOnlyControls() {
    std::vector<int> ids = {IDC_NOTE_RTD, IDC_NOTE_TC, IDC_NOTE_OTHER, IDC_ZERO_OUT_SPIN,
                            IDC_FULL_OUT_SPIN};
    for (const SField& f : kFields) {
        if (!f.factoryOnly) continue;
        for (int id : {f.label, f.control, f.button, f.unit, f.note})
            if (id != 0) ids.push_back(id);
    }
    return ids;
}

std::vector<int> UnitControls() {
    std::vector<int> ids;
    for (const SField& f : kFields)
        if (f.unit != 0) ids.push_back(f.unit);
    return ids;
}
