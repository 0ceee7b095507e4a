#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "protocol/registers.h"

class CDialog;

// Marks in the fields themselves: "no answer" where a register of the
// read-all did not answer (the field is emptied: the old value is not the
// device's), and "no reading" in a sample field whose sampling pass got no
// reply. Shown as the field's placeholder, so the mark goes as soon as a
// value or the technician's typing fills the field.
class CFieldMarks {
public:
    explicit CFieldMarks(CDialog& dlg) : m_dlg(dlg) {}

    // Register index 0..13; registers without a field of their own (unit,
    // reserved, baud code, decimals) are not marked.
    void MarkNoAnswer(int index);
    void MarkNoReading(int index);
    // After MarkNoAnswer: the device refused the read, in `words`.
    void MarkRefused(int index, const QString& words);
    void Clear(int index);
    void ClearAll();
    bool Marked(int index) const { return (m_noAnswer | m_noReading) >> index & 1u; }
    bool NoReading(int index) const { return m_noReading >> index & 1u; }
    // Texts in the loaded language, after a language switch.
    void Reapply();

    // The control that shows register `index`; 0 when there is none.
    static int ControlOf(int index);

private:
    void Show(int index, int textId);

    CDialog& m_dlg;
    std::uint32_t m_noAnswer = 0;
    std::uint32_t m_noReading = 0;
    // The device's words where it refused a read (empty: no refusal).
    std::array<QString, protocol::kRegisterCount> m_refusals;
};
