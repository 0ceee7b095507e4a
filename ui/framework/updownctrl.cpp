#include "ui/framework/updownctrl.h"

#include <QToolButton>
#include <algorithm>

CUpDownCtrl::CUpDownCtrl(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { Step(true); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(false); });
}

void CUpDownCtrl::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
    SetPos(m_pos);
}

void CUpDownCtrl::SetPos(int pos) {
    m_pos = std::clamp(pos, std::min(m_lower, m_upper), std::max(m_lower, m_upper));
}

void CUpDownCtrl::Step(bool up) {
    const int towardsUpper = m_upper >= m_lower ? 1 : -1;
    const int delta = up ? towardsUpper : -towardsUpper;
    if (m_handler && m_handler(delta) != 0) {
        return;
    }
    SetPos(m_pos + delta);
}

void CUpDownCtrl::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}
