#include "ui/framework/dialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "ui/framework/postmessage.h"
#include "ui/framework/textconv.h"
#include "ui/framework/updownctrl.h"

CDialog::CDialog(int templateId, QWidget* parent)
    : QDialog(parent), m_templateId(templateId), m_hwnd(corvexa::ui::RegisterWindow(this)) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
}

CDialog::CDialog(DialogTemplate dlg, QWidget* parent) : CDialog(dlg.id, parent) {
  m_inline = std::move(dlg);
}

CDialog::~CDialog() {
  // First thing: from here on no thread can post to this window.
  corvexa::ui::UnregisterWindow(m_hwnd);
}

bool CDialog::Build() {
  if (m_built) return true;
  std::optional<DialogTemplate> dlg =
      m_inline ? m_inline : LoadDialogTemplate(m_templateId, &m_buildError);
  if (!dlg) {
    std::fprintf(stderr, "%s\n", m_buildError.toLocal8Bit().constData());
    return false;
  }
  const QFont font = DialogFont(*dlg);
  setFont(font);
  m_units = DialogUnits::ForFont(font);
  setWindowTitle(dlg->caption);
  for (auto& [id, w] : BuildControls(*dlg, m_units, this)) {
    m_items.emplace(id, w);
    WireControl(id, w);
  }
  for (const ControlTemplate& c : dlg->controls) m_order.push_back(c.id);
  setFixedSize(m_units.X(dlg->size.width()), m_units.Y(dlg->size.height()));
  m_visibleStyle = (dlg->style & DS_VISIBLE) != 0;
  setWindowFlag(Qt::WindowMinimizeButtonHint, (dlg->style & DS_MINIMIZEBOX) != 0);
  m_built = true;
  return true;
}

void CDialog::WireControl(int id, QWidget* w) {
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    // A button click is WM_COMMAND with the button's id, as on Windows.
    connect(button, &QAbstractButton::clicked, this,
            [this, id] { SendMessage(WM_COMMAND, static_cast<WPARAM>(id), 0); });
  }
  if (auto* spin = dynamic_cast<CUpDownCtrl*>(w)) {
    spin->SetDeltaHandler([this, id](int delta) -> LRESULT {
      auto it = m_deltaPos.find(id);
      return it == m_deltaPos.end() ? 0 : it->second(delta);
    });
  }
}

void CDialog::Init() {
  if (OnInitDialog()) {
    for (int id : m_order) {
      QWidget* w = Item(id);
      if (w && !w->isHidden() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
        w->setFocus();
        break;
      }
    }
  }
}

int CDialog::DoModal() {
  if (!Build()) return -1;
  setResult(0);
  Init();
  return exec();
}

bool CDialog::Create(QWidget* parent) {
  if (parent != parentWidget()) setParent(parent, windowFlags());
  if (!Build()) return false;
  Init();
  if (m_visibleStyle) show();
  return true;
}

void CDialog::EndDialog(int result) { done(result); }

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

QWidget* CDialog::Item(int id) const {
  auto it = m_items.find(id);
  return it == m_items.end() ? nullptr : it->second.data();
}

void CDialog::SetDlgItemText(int id, const QString& text) {
  QWidget* w = Item(id);
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(text);
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(text);
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setText(text);
  } else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
    p->setPlainText(text);
  } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
    g->setTitle(text);
  } else if (auto* c = qobject_cast<QComboBox*>(w); c && c->isEditable()) {
    c->setEditText(text);
  }
}

void CDialog::SetDlgItemText(int id, const std::wstring& text) {
  SetDlgItemText(id, ToQString(text));
}

void CDialog::SetWindowText(const std::wstring& text) { setWindowTitle(ToQString(text)); }

QString CDialog::GetDlgItemText(int id) const {
  QWidget* w = Item(id);
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
  return {};
}

void CDialog::ShowItem(int id, bool show) {
  if (QWidget* w = Item(id)) w->setHidden(!show);
}

void CDialog::EnableItem(int id, bool enable) {
  if (QWidget* w = Item(id)) w->setEnabled(enable);
}

void CDialog::CheckDlgButton(int id, bool checked) {
  if (auto* b = ItemAs<QAbstractButton>(id)) b->setChecked(checked);
}

bool CDialog::IsDlgButtonChecked(int id) const {
  auto* b = ItemAs<QAbstractButton>(id);
  return b && b->isChecked();
}

void CDialog::GotoDlgCtrl(int id) {
  if (QWidget* w = Item(id)) w->setFocus();
}

void CDialog::SetItemBitmap(int id, const QPixmap& bitmap) {
  if (auto* l = ItemAs<QLabel>(id)) l->setPixmap(bitmap);
}

void CDialog::ComboResetContent(int id) {
  if (auto* c = ItemAs<QComboBox>(id)) c->clear();
}

int CDialog::ComboAddString(int id, const QString& text) {
  auto* c = ItemAs<QComboBox>(id);
  if (!c) return -1;
  const int before = c->currentIndex();
  c->addItem(text);
  if (before < 0) c->setCurrentIndex(-1);  // adding never selects, as on Windows
  return c->count() - 1;
}

int CDialog::ComboInsertString(int id, int pos, const QString& text) {
  auto* c = ItemAs<QComboBox>(id);
  if (!c || pos > c->count()) return -1;
  // -1 appends, as CB_INSERTSTRING does.
  const int at = pos < 0 ? c->count() : pos;
  const int before = c->currentIndex();
  c->insertItem(at, text);
  // Inserting into an empty list must not select the new entry; Windows
  // leaves the selection alone.
  if (before < 0) c->setCurrentIndex(-1);
  return at;
}

int CDialog::ComboGetCount(int id) const {
  auto* c = ItemAs<QComboBox>(id);
  return c ? c->count() : 0;
}

QString CDialog::ComboGetLBText(int id, int pos) const {
  auto* c = ItemAs<QComboBox>(id);
  return c ? c->itemText(pos) : QString();
}

void CDialog::ComboSetCurSel(int id, int pos) {
  auto* c = ItemAs<QComboBox>(id);
  if (!c) return;
  // An index outside the list clears the selection.
  c->setCurrentIndex(pos >= 0 && pos < c->count() ? pos : -1);
}

int CDialog::ComboGetCurSel(int id) const {
  auto* c = ItemAs<QComboBox>(id);
  return c ? c->currentIndex() : -1;
}

void CDialog::ComboSetItemData(int id, int pos, qint64 data) {
  if (auto* c = ItemAs<QComboBox>(id)) c->setItemData(pos, data);
}

qint64 CDialog::ComboGetItemData(int id, int pos) const {
  auto* c = ItemAs<QComboBox>(id);
  return c ? c->itemData(pos).toLongLong() : 0;
}

void CDialog::CenterWindow() {
  QRect area;
  QWidget* owner = parentWidget();
  if (owner && owner->isVisible()) {
    area = owner->window()->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  } else {
    return;
  }
  const QSize outer = frameGeometry().size();
  move(area.x() + (area.width() - outer.width()) / 2,
       area.y() + (area.height() - outer.height()) / 2);
}

void CDialog::MoveWindow(int x, int y, int width, int height) {
  const QSize frameExtra = frameGeometry().size() - size();
  move(x, y);
  setFixedSize(std::max(0, width - frameExtra.width()), std::max(0, height - frameExtra.height()));
}

void CDialog::SetWindowPosition(int x, int y) { move(x, y); }

void CDialog::SetTopMost(bool topMost) {
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, topMost);
  if (visible) show();  // changing window flags hides a shown window
}

void CDialog::SetTimer(int id, int milliseconds) {
  QTimer*& timer = m_timers[id];
  if (timer == nullptr) {
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this,
            [this, id] { SendMessage(WM_TIMER, static_cast<WPARAM>(id), 0); });
  }
  // Windows raises periods below 10 ms to 10 ms; a 0 would spin the loop.
  timer->start(std::max(milliseconds, 10));
}

void CDialog::KillTimer(int id) {
  auto it = m_timers.find(id);
  if (it != m_timers.end()) it->second->stop();
}

bool CDialog::IsTimerRunning(int id) const {
  auto it = m_timers.find(id);
  return it != m_timers.end() && it->second->isActive();
}

void CDialog::BindText(int id, std::wstring* field) { m_bindings.emplace_back(id, field); }
void CDialog::BindText(int id, QString* field) { m_bindings.emplace_back(id, field); }

bool CDialog::UpdateData(bool saveAndValidate) {
  for (auto& [id, field] : m_bindings) {
    if (Item(id) == nullptr) continue;
    if (auto* w = std::get_if<std::wstring*>(&field)) {
      if (saveAndValidate) {
        **w = ToWString(GetDlgItemText(id));
      } else {
        SetDlgItemText(id, ToQString(**w));
      }
    } else if (auto* q = std::get_if<QString*>(&field)) {
      if (saveAndValidate) {
        **q = GetDlgItemText(id);
      } else {
        SetDlgItemText(id, **q);
      }
    }
  }
  return true;
}

void CDialog::MapMessage(UINT msg, MessageHandler handler) { m_messages[msg] = std::move(handler); }
void CDialog::MapCommand(int id, CommandHandler handler) { m_commands[id] = std::move(handler); }
void CDialog::MapDeltaPos(int id, DeltaPosHandler handler) { m_deltaPos[id] = std::move(handler); }

LRESULT CDialog::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  auto it = m_messages.find(msg);
  if (it != m_messages.end()) return it->second(wParam, lParam);
  return DefWindowProc(msg, wParam, lParam);
}

LRESULT CDialog::DefWindowProc(UINT msg, WPARAM wParam, LPARAM /*lParam*/) {
  switch (msg) {
    case WM_CLOSE:
      OnClose();
      break;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      break;
    case WM_TIMER:
      OnTimer(static_cast<int>(wParam));
      break;
    default:
      break;
  }
  return 0;
}

void CDialog::OnCommand(int id) {
  auto it = m_commands.find(id);
  if (it != m_commands.end()) {
    it->second();
  } else if (id == IDOK) {
    OnOK();
  } else if (id == IDCANCEL) {
    OnCancel();
  }
}

bool CDialog::SubclassDlgItem(int id, QWidget* replacement) {
  QWidget* old = Item(id);
  if (!old || !replacement) return false;
  replacement->setParent(this);
  replacement->setObjectName(old->objectName());
  replacement->setGeometry(old->geometry());
  replacement->setHidden(old->isHidden());
  replacement->setEnabled(old->isEnabled());
  replacement->stackUnder(old);
  m_items[id] = replacement;
  delete old;
  return true;
}

bool CDialog::event(QEvent* e) {
  if (e->type() == CMessageEvent::EventType()) {
    const auto* m = static_cast<CMessageEvent*>(e);
    SendMessage(m->message, m->wParam, m->lParam);
    return true;
  }
  return QDialog::event(e);
}

void CDialog::closeEvent(QCloseEvent* e) {
  // The close box is WM_CLOSE; what it does is the message table's choice.
  e->ignore();
  SendMessage(WM_CLOSE, 0, 0);
}

void CDialog::keyPressEvent(QKeyEvent* e) {
  if (e->modifiers() & ~(Qt::KeypadModifier)) {
    QDialog::keyPressEvent(e);
    return;
  }
  switch (e->key()) {
    case Qt::Key_Escape:
      SendMessage(WM_COMMAND, IDCANCEL, 0);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      // Enter presses the focused push button, else the default one, else
      // it is IDOK, as in a Windows dialog.
      auto* focused = qobject_cast<QPushButton*>(focusWidget());
      if (focused && focused->isEnabled()) {
        focused->click();
        return;
      }
      for (int id : m_order) {
        auto* b = ItemAs<QPushButton>(id);
        if (b && b->isDefault() && b->isVisible() && b->isEnabled()) {
          b->click();
          return;
        }
      }
      SendMessage(WM_COMMAND, IDOK, 0);
      return;
    }
    default:
      QDialog::keyPressEvent(e);
  }
}
