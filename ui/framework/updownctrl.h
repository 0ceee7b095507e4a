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
  int Lower() const { return lower_; }
  int Upper() const { return upper_; }
  int Pos() const { return pos_; }
  void SetPos(int pos);
  void SetBuddy(QWidget* buddy) { buddy_ = buddy; }
  QWidget* Buddy() const { return buddy_; }
  void SetDeltaHandler(DeltaHandler handler) { handler_ = std::move(handler); }

  // What a click on an arrow does.
  void Step(bool up);

  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  int lower_ = 100;
  int upper_ = 0;
  int pos_ = 0;
  QWidget* buddy_ = nullptr;
  DeltaHandler handler_;
  QToolButton* up_;
  QToolButton* down_;
};
