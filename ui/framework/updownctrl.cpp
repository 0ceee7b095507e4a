#include "ui/framework/updownctrl.h"

#include <QToolButton>
#include <algorithm>

CUpDownCtrl::CUpDownCtrl(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
  }
  connect(up_, &QToolButton::clicked, this, [this] { Step(true); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(false); });
}

void CUpDownCtrl::SetRange(int lower, int upper) {
  lower_ = lower;
  upper_ = upper;
  SetPos(pos_);
}

void CUpDownCtrl::SetPos(int pos) {
  pos_ = std::clamp(pos, std::min(lower_, upper_), std::max(lower_, upper_));
}

void CUpDownCtrl::Step(bool up) {
  const int towardsUpper = upper_ >= lower_ ? 1 : -1;
  const int delta = up ? towardsUpper : -towardsUpper;
  if (handler_ && handler_(delta) != 0) {
    return;
  }
  SetPos(pos_ + delta);
}

void CUpDownCtrl::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}
