#pragma once

// Dialog templates: the dialog's size in dialog units, caption, font and
// one row per control. They are kept as small text files among the
// program's resources (type DIALOG), one per dialog, for example:
//
//   DIALOG 130 157 90
//   CAPTION "输入密码"
//   FONT 8 "MS Shell Dlg"
//   STYLE POPUP CAPTION SYSMENU MODALFRAME
//   CONTROL 1045 EDITTEXT "" 60 24 68 14 PASSWORD AUTOHSCROLL BORDER TABSTOP
//
// A CONTROL row is: id, kind, initial text, x, y, width, height, flags.
// Texts are double-quoted UTF-8 with \" and \\ escapes; '#' starts a
// comment line.

#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

enum class ControlKind {
    PushButton,
    DefPushButton,
    RadioButton,
    CheckBox,
    LText,  // static text, left-aligned
    CText,  // static text, centred
    RText,  // static text, right-aligned
    EditText,
    ComboBox,  // drop-down list
    UpDown,    // spin arrows without an edit of their own
    Icon,      // static showing icon resource <text>
    Bitmap,    // static showing bitmap resource <text>
    GroupBox,
    Frame,  // plain static area, e.g. a host for a custom picture control
};

// Style flags of a control row.
enum ControlFlag : std::uint32_t {
    CF_GROUP = 1u << 0,
    CF_TABSTOP = 1u << 1,
    CF_HIDDEN = 1u << 2,
    CF_DISABLED = 1u << 3,
    CF_PASSWORD = 1u << 4,
    CF_READONLY = 1u << 5,
    CF_AUTOHSCROLL = 1u << 6,
    CF_BORDER = 1u << 7,
    CF_MULTILINE = 1u << 8,
    CF_NUMBER = 1u << 9,
    CF_AUTO = 1u << 10,
    CF_NOPREFIX = 1u << 11,
    CF_VSCROLL = 1u << 12,
    CF_CENTERIMAGE = 1u << 13,
};

// Style flags of the dialog itself.
enum DialogStyle : std::uint32_t {
    DS_POPUP = 1u << 0,
    DS_CAPTION = 1u << 1,
    DS_SYSMENU = 1u << 2,
    DS_MODALFRAME = 1u << 3,
    DS_VISIBLE = 1u << 4,
    DS_MINIMIZEBOX = 1u << 5,
};

struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::LText;
    QString text;
    QRect rect;  // dialog units
    std::uint32_t flags = 0;
};

struct DialogTemplate {
    int id = 0;
    QSize size;  // client area, dialog units
    QString caption;
    QString fontName = QStringLiteral("MS Shell Dlg");
    int fontPoints = 8;
    std::uint32_t style = 0;
    std::vector<ControlTemplate> controls;

    const ControlTemplate* Find(int controlId) const;
};

// Parses one template. On failure returns nothing and sets *error to
// "line N: <what>".
std::optional<DialogTemplate> ParseDialogTemplate(const QString& source, QString* error);

// Template number `id` from the program's resources.
std::optional<DialogTemplate> LoadDialogTemplate(int id, QString* error);
