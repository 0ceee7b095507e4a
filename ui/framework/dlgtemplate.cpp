#include "ui/framework/dlgtemplate.h"

#include <QStringList>
#include <array>
#include <utility>

#include "res/resources.h"

namespace {

struct Token {
    QString text;
    bool quoted = false;
};

// Splits a line into bare words and quoted texts. Returns false on an
// unterminated quote or an unknown escape.
bool Tokenize(const QString& line, std::vector<Token>* out, QString* what) {
    int i = 0;
    const int n = line.size();
    while (i < n) {
        QChar c = line[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Token tok;
        if (c == QLatin1Char('"')) {
            tok.quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                QChar d = line[i++];
                if (d == QLatin1Char('"')) {
                    closed = true;
                    break;
                }
                if (d == QLatin1Char('\\')) {
                    if (i >= n || (line[i] != QLatin1Char('"') && line[i] != QLatin1Char('\\'))) {
                        *what = QStringLiteral("bad escape in text");
                        return false;
                    }
                    d = line[i++];
                }
                tok.text.append(d);
            }
            if (!closed) {
                *what = QStringLiteral("unterminated text");
                return false;
            }
        } else {
            while (i < n && !line[i].isSpace() && line[i] != QLatin1Char('"')) {
                tok.text.append(line[i++]);
            }
        }
        out->push_back(std::move(tok));
    }
    return true;
}

bool ToInt(const Token& t, int* value) {
    if (t.quoted) return false;
    bool ok = false;
    *value = t.text.toInt(&ok);
    return ok;
}

const std::array<std::pair<const char*, ControlKind>, 14> kKinds{{
    {"PUSHBUTTON", ControlKind::PushButton},
    {"DEFPUSHBUTTON", ControlKind::DefPushButton},
    {"RADIOBUTTON", ControlKind::RadioButton},
    {"CHECKBOX", ControlKind::CheckBox},
    {"LTEXT", ControlKind::LText},
    {"CTEXT", ControlKind::CText},
    {"RTEXT", ControlKind::RText},
    {"EDITTEXT", ControlKind::EditText},
    {"COMBOBOX", ControlKind::ComboBox},
    {"UPDOWN", ControlKind::UpDown},
    {"ICON", ControlKind::Icon},
    {"BITMAP", ControlKind::Bitmap},
    {"GROUPBOX", ControlKind::GroupBox},
    {"FRAME", ControlKind::Frame},
}};

const std::array<std::pair<const char*, std::uint32_t>, 14> kControlFlags{{
    {"GROUP", CF_GROUP},
    {"TABSTOP", CF_TABSTOP},
    {"HIDDEN", CF_HIDDEN},
    {"DISABLED", CF_DISABLED},
    {"PASSWORD", CF_PASSWORD},
    {"READONLY", CF_READONLY},
    {"AUTOHSCROLL", CF_AUTOHSCROLL},
    {"BORDER", CF_BORDER},
    {"MULTILINE", CF_MULTILINE},
    {"NUMBER", CF_NUMBER},
    {"AUTO", CF_AUTO},
    {"NOPREFIX", CF_NOPREFIX},
    {"VSCROLL", CF_VSCROLL},
    {"CENTERIMAGE", CF_CENTERIMAGE},
}};

const std::array<std::pair<const char*, std::uint32_t>, 6> kDialogStyles{{
    {"POPUP", DS_POPUP},
    {"CAPTION", DS_CAPTION},
    {"SYSMENU", DS_SYSMENU},
    {"MODALFRAME", DS_MODALFRAME},
    {"VISIBLE", DS_VISIBLE},
    {"MINIMIZEBOX", DS_MINIMIZEBOX},
}};

template <typename T, std::size_t N>
bool Lookup(const std::array<std::pair<const char*, T>, N>& table, const Token& t, T* value) {
    if (t.quoted) return false;
    for (const auto& [name, v] : table) {
        if (t.text == QLatin1String(name)) {
            *value = v;
            return true;
        }
    }
    return false;
}

// One line; returns an empty text on success, else what is wrong.
QString ParseLine(const std::vector<Token>& tok, DialogTemplate* dlg, bool* sawDialog) {
    const QString& key = tok[0].text;
    if (tok[0].quoted) return QStringLiteral("keyword expected");
    if (key == QLatin1String("DIALOG")) {
        if (*sawDialog) return QStringLiteral("second DIALOG line");
        int w = 0, h = 0;
        if (tok.size() != 4 || !ToInt(tok[1], &dlg->id) || !ToInt(tok[2], &w) ||
            !ToInt(tok[3], &h) || w <= 0 || h <= 0) {
            return QStringLiteral("DIALOG needs id, width and height");
        }
        dlg->size = QSize(w, h);
        *sawDialog = true;
        return {};
    }
    if (!*sawDialog) return QStringLiteral("DIALOG line must come first");
    if (key == QLatin1String("CAPTION")) {
        if (tok.size() != 2 || !tok[1].quoted) return QStringLiteral("CAPTION needs one text");
        dlg->caption = tok[1].text;
        return {};
    }
    if (key == QLatin1String("FONT")) {
        if (tok.size() != 3 || !ToInt(tok[1], &dlg->fontPoints) || !tok[2].quoted ||
            dlg->fontPoints <= 0) {
            return QStringLiteral("FONT needs a size and a name");
        }
        dlg->fontName = tok[2].text;
        return {};
    }
    if (key == QLatin1String("STYLE")) {
        for (std::size_t i = 1; i < tok.size(); ++i) {
            std::uint32_t bit = 0;
            if (!Lookup(kDialogStyles, tok[i], &bit)) {
                return QStringLiteral("unknown style %1").arg(tok[i].text);
            }
            dlg->style |= bit;
        }
        return {};
    }
    if (key == QLatin1String("CONTROL")) {
        ControlTemplate c;
        int x = 0, y = 0, w = 0, h = 0;
        if (tok.size() < 8 || !ToInt(tok[1], &c.id) || !tok[3].quoted || !ToInt(tok[4], &x) ||
            !ToInt(tok[5], &y) || !ToInt(tok[6], &w) || !ToInt(tok[7], &h)) {
            return QStringLiteral("CONTROL needs id, kind, text, x, y, width, height");
        }
        if (!Lookup(kKinds, tok[2], &c.kind)) {
            return QStringLiteral("unknown control kind %1").arg(tok[2].text);
        }
        if (w < 0 || h < 0) return QStringLiteral("negative control size");
        c.text = tok[3].text;
        c.rect = QRect(x, y, w, h);
        for (std::size_t i = 8; i < tok.size(); ++i) {
            std::uint32_t bit = 0;
            if (!Lookup(kControlFlags, tok[i], &bit)) {
                return QStringLiteral("unknown flag %1").arg(tok[i].text);
            }
            c.flags |= bit;
        }
        // Id 65535 (-1) is the shared id of plain labels; every other id names
        // one control.
        if (c.id != 65535 && dlg->Find(c.id) != nullptr) {
            return QStringLiteral("duplicate control id %1").arg(c.id);
        }
        dlg->controls.push_back(std::move(c));
        return {};
    }
    return QStringLiteral("unknown keyword %1").arg(key);
}

}  // namespace

const ControlTemplate* DialogTemplate::Find(int controlId) const {
    for (const ControlTemplate& c : controls) {
        if (c.id == controlId) return &c;
    }
    return nullptr;
}

std::optional<DialogTemplate> ParseDialogTemplate(const QString& source, QString* error) {
    DialogTemplate dlg;
    bool sawDialog = false;
    const QStringList lines = source.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        std::vector<Token> tok;
        QString what;
        if (Tokenize(line, &tok, &what)) {
            what = ParseLine(tok, &dlg, &sawDialog);
        }
        if (!what.isEmpty()) {
            if (error) *error = QStringLiteral("line %1: %2").arg(i + 1).arg(what);
            return std::nullopt;
        }
    }
    if (!sawDialog) {
        if (error) *error = QStringLiteral("no DIALOG line");
        return std::nullopt;
    }
    return dlg;
}

std::optional<DialogTemplate> LoadDialogTemplate(int id, QString* error) {
    std::optional<QByteArray> data = corvexa::res::FindResource(QStringLiteral("DIALOG"), id);
    if (!data) {
        if (error) *error = QStringLiteral("no dialog template %1").arg(id);
        return std::nullopt;
    }
    QString why;
    std::optional<DialogTemplate> dlg = ParseDialogTemplate(QString::fromUtf8(*data), &why);
    if (!dlg) {
        if (error) *error = QStringLiteral("dialog template %1: %2").arg(id).arg(why);
        return std::nullopt;
    }
    if (dlg->id != id) {
        if (error) *error = QStringLiteral("dialog template %1 carries id %2").arg(id).arg(dlg->id);
        return std::nullopt;
    }
    return dlg;
}
