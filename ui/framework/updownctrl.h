#pragma once

// Up-down control: a pair of arrow buttons that step a position. Before the
// position changes the handler is asked with the step (+1 or -1); a
// non-zero answer refuses the step. As on Windows, the up arrow steps
// towards the upper end of the range, so with an inverted range (upper
// below lower, e.g. 0 and -1 as 16-bit values) the up arrow reports -1.

#include <QWidget>
#include <functional>

#include "ui/framework/winmsg.h"

class QToolButton;

class CUpDownCtrl : public QWidget {
public:
    using DeltaHandler = std::function<LRESULT(int delta)>;

    explicit CUpDownCtrl(QWidget* parent = nullptr);

    // Windows' default range is 100 (lower) to 0 (upper).
    void SetRange(int lower, int upper);
    int Lower() const { return m_lower; }
    int Upper() const { return m_upper; }
    int Pos() const { return m_pos; }
    void SetPos(int pos);
    void SetBuddy(QWidget* buddy) { m_buddy = buddy; }
    QWidget* Buddy() const { return m_buddy; }
    void SetDeltaHandler(DeltaHandler handler) { m_handler = std::move(handler); }

    // What a click on an arrow does.
    void Step(bool up);

    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int m_lower = 100;
    int m_upper = 0;
    int m_pos = 0;
    QWidget* m_buddy = nullptr;
    DeltaHandler m_handler;
    QToolButton* m_up;
    QToolButton* m_down;
};
