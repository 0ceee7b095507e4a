#pragma once

// Base class of every window: a QDialog built from a numbered template,
// whose controls are known by id, with per-dialog tables that route posted
// messages, button commands and up-down steps to handlers.
//
// A derived dialog declares its table in its constructor:
//
//   MapMessage(UM_SHOW_MAIN, &CMyDlg::OnShowMain);  // LRESULT(WPARAM, LPARAM)
//   MapCommand(1001, &CMyDlg::OnConnect);           // void()
//   MapDeltaPos(1059, &CMyDlg::OnZeroSpin);         // LRESULT(int delta)
//   BindText(1004, &m_strZeroOffset);               // exchanged by UpdateData
//
// and overrides OnInitDialog for what runs once the controls exist.

#include <QDialog>
#include <QPointer>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "ui/framework/dlgbuilder.h"
#include "ui/framework/dlgtemplate.h"
#include "ui/framework/winmsg.h"

class QTimer;

class CDialog : public QDialog {
public:
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    using CommandHandler = std::function<void()>;
    using DeltaPosHandler = std::function<LRESULT(int delta)>;

    explicit CDialog(int templateId, QWidget* parent = nullptr);
    // A dialog from a template held in memory rather than in the resources.
    explicit CDialog(DialogTemplate dlg, QWidget* parent = nullptr);
    ~CDialog() override;

    // Modal run: builds the controls, runs OnInitDialog and the dialog's own
    // loop; returns the value given to EndDialog, or -1 if the template
    // cannot be built.
    int DoModal();
    // Modeless creation with the given parent (owner); shown only if the
    // template says VISIBLE. Returns false if the template cannot be built.
    bool Create(QWidget* parent);
    bool IsBuilt() const { return m_built; }
    // Why the last build failed.
    const QString& BuildError() const { return m_buildError; }

    // Ends a modal run with result, or hides a modeless dialog.
    void EndDialog(int result);

    // Handle for PostMessage; valid from construction to destruction.
    HWND GetSafeHwnd() const { return m_hwnd; }
    int TemplateId() const { return m_templateId; }
    const DialogUnits& Units() const { return m_units; }

    // Controls by id; null when there is none.
    QWidget* Item(int id) const;
    template <class W>
    W* ItemAs(int id) const {
        return qobject_cast<W*>(Item(id));
    }

    void SetDlgItemText(int id, const QString& text);
    void SetDlgItemText(int id, const std::wstring& text);
    QString GetDlgItemText(int id) const;
    void SetWindowText(const QString& text) { setWindowTitle(text); }
    void SetWindowText(const std::wstring& text);
    QString GetWindowText() const { return windowTitle(); }
    void ShowItem(int id, bool show);
    void EnableItem(int id, bool enable);
    void CheckDlgButton(int id, bool checked);
    bool IsDlgButtonChecked(int id) const;
    // Puts the keyboard focus on a control (also before the window shows).
    void GotoDlgCtrl(int id);
    // Shows a bitmap in a static control; a null pixmap empties it.
    void SetItemBitmap(int id, const QPixmap& bitmap);

    // Combo boxes. Positions are 0-based; -1 is "no selection".
    void ComboResetContent(int id);
    int ComboAddString(int id, const QString& text);
    int ComboInsertString(int id, int pos, const QString& text);
    int ComboGetCount(int id) const;
    QString ComboGetLBText(int id, int pos) const;
    void ComboSetCurSel(int id, int pos);
    int ComboGetCurSel(int id) const;
    void ComboSetItemData(int id, int pos, qint64 data);
    qint64 ComboGetItemData(int id, int pos) const;

    // Window placement. Positions and sizes are the outer frame's, as Windows
    // counts them. CenterWindow centres over a visible parent, else on the
    // primary screen.
    void CenterWindow();
    void MoveWindow(int x, int y, int width, int height);
    void SetWindowPosition(int x, int y);
    void SetTopMost(bool topMost);

    // Window timers: a repeating timer per id; each tick arrives as WM_TIMER.
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    bool IsTimerRunning(int id) const;

    // Two-way exchange between bound fields and their controls: true copies
    // the controls into the fields, false the fields into the controls.
    void BindText(int id, std::wstring* field);
    void BindText(int id, QString* field);
    bool UpdateData(bool saveAndValidate = true);

    // Handles a message now, on the calling (window) thread.
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    // The handling a message gets without a table entry (WM_CLOSE -> OnClose,
    // WM_COMMAND -> OnCommand, WM_TIMER -> OnTimer).
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Replaces control id by another widget at the same place, with the same
    // id and visibility; the old widget is deleted. For custom controls such
    // as the picture control.
    bool SubclassDlgItem(int id, QWidget* replacement);

protected:
    // Runs once the controls exist. The default copies the bound fields into
    // the controls and returns true: the focus then goes to the first
    // control that takes it; false leaves the focus where the dialog put it.
    virtual bool OnInitDialog();
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual void OnClose() { OnCommand(IDCANCEL); }
    virtual void OnTimer(int /*id*/) {}
    virtual void OnCommand(int id);

    void MapMessage(UINT msg, MessageHandler handler);
    void MapCommand(int id, CommandHandler handler);
    void MapDeltaPos(int id, DeltaPosHandler handler);
    template <class D>
    void MapMessage(UINT msg, LRESULT (D::*fn)(WPARAM, LPARAM)) {
        MapMessage(msg,
                   [this, fn](WPARAM w, LPARAM l) { return (static_cast<D*>(this)->*fn)(w, l); });
    }
    template <class D>
    void MapCommand(int id, void (D::*fn)()) {
        MapCommand(id, [this, fn] { (static_cast<D*>(this)->*fn)(); });
    }
    template <class D>
    void MapDeltaPos(int id, LRESULT (D::*fn)(int)) {
        MapDeltaPos(id, [this, fn](int d) { return (static_cast<D*>(this)->*fn)(d); });
    }

    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    bool Build();
    void Init();
    void WireControl(int id, QWidget* w);

    int m_templateId;
    std::optional<DialogTemplate> m_inline;
    bool m_visibleStyle = false;
    HWND m_hwnd;
    bool m_built = false;
    QString m_buildError;
    DialogUnits m_units;
    std::map<int, QPointer<QWidget>> m_items;
    std::vector<int> m_order;  // control ids in template (tab) order
    std::unordered_map<UINT, MessageHandler> m_messages;
    std::unordered_map<int, CommandHandler> m_commands;
    std::unordered_map<int, DeltaPosHandler> m_deltaPos;
    std::map<int, QTimer*> m_timers;
    std::vector<std::pair<int, std::variant<std::wstring*, QString*>>> m_bindings;
};

// The dialog class the main window derives from has this name on its
// original platform.
using CDialogEx = CDialog;
