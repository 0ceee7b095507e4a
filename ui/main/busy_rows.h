#pragma once

#include <set>

class CDialog;

// Rows whose write is on its way: the row's button is disabled and reads
// "Sending..." until the result comes; the other rows stay usable and their
// writes queue on the line.
class CBusyRows {
public:
    explicit CBusyRows(CDialog& dlg) : m_dlg(dlg) {}

    // A write task of operation code 17..26 was started.
    void Begin(int code);
    // Its result came: the button is back, enabled while `online`.
    void End(int code, bool online);
    // The connection ended: no result will come for any of them.
    void Clear();
    // After the texts or the enabled state were set wholesale.
    void Reapply();
    bool Busy(int code) const { return m_codes.count(code) != 0; }

    // The button of a write operation's row; 0 for other codes.
    static int ButtonOf(int code);

private:
    void Restore(int code, bool enable);

    CDialog& m_dlg;
    std::set<int> m_codes;
};
