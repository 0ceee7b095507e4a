#include "ui/framework/dlgbuilder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "res/resources.h"
#include "ui/framework/updownctrl.h"

namespace {

int MulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>((p >= 0 ? p + c / 2 : p - c / 2) / c);
}

QPixmap ResourcePixmap(const char* type, const QString& number) {
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok) return {};
    std::optional<QByteArray> data = corvexa::res::FindResource(QLatin1String(type), n);
    QPixmap pixmap;
    if (data) pixmap.loadFromData(*data);
    return pixmap;
}

QLabel* MakeLabel(const ControlTemplate& c, QWidget* host, Qt::Alignment align) {
    auto* label = new QLabel(c.text, host);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(align | Qt::AlignTop);
    return label;
}

QWidget* MakeEdit(const ControlTemplate& c, QWidget* host) {
    if (c.flags & CF_MULTILINE) {
        auto* edit = new QPlainTextEdit(c.text, host);
        edit->setReadOnly(c.flags & CF_READONLY);
        if (!(c.flags & CF_BORDER)) edit->setFrameShape(QFrame::NoFrame);
        return edit;
    }
    auto* edit = new QLineEdit(c.text, host);
    edit->setFrame(c.flags & CF_BORDER);
    edit->setReadOnly(c.flags & CF_READONLY);
    if (c.flags & CF_PASSWORD) edit->setEchoMode(QLineEdit::Password);
    if (c.flags & CF_NUMBER) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    return edit;
}

}  // namespace

DialogUnits DialogUnits::ForFont(const QFont& font) {
    const QFontMetrics fm(font);
    DialogUnits u;
    // Windows' average width: the 52 letters' width over 26, halved, rounded up.
    const int letters = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    u.avgCharWidth = std::max(1, (letters / 26 + 1) / 2);
    u.charHeight = std::max(1, fm.height());
    return u;
}

int DialogUnits::X(int dlu) const {
    return MulDiv(dlu, avgCharWidth, 4);
}
int DialogUnits::Y(int dlu) const {
    return MulDiv(dlu, charHeight, 8);
}

QRect DialogUnits::ToPixels(const QRect& r) const {
    return QRect(X(r.x()), Y(r.y()), X(r.width()), Y(r.height()));
}

QFont DialogFont(const DialogTemplate& dlg) {
    static const char* const kShellFonts[] = {"MS Shell Dlg",  "MS Shell Dlg 2",
                                              "MS Sans Serif", "Microsoft Sans Serif",
                                              "Tahoma",        "Segoe UI"};
    for (const char* name : kShellFonts) {
        if (dlg.fontName.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        }
    }
    return QFont(dlg.fontName, dlg.fontPoints);
}

std::map<int, QWidget*> BuildControls(const DialogTemplate& dlg, const DialogUnits& units,
                                      QWidget* host) {
    std::map<int, QWidget*> items;
    QButtonGroup* radios = nullptr;
    for (const ControlTemplate& c : dlg.controls) {
        QWidget* w = nullptr;
        bool fixedSize = false;
        switch (c.kind) {
            case ControlKind::PushButton:
            case ControlKind::DefPushButton: {
                auto* b = new QPushButton(c.text, host);
                b->setDefault(c.kind == ControlKind::DefPushButton);
                w = b;
                break;
            }
            case ControlKind::RadioButton: {
                auto* b = new QRadioButton(c.text, host);
                // Radio buttons are exclusive within a run that starts at GROUP.
                if (radios == nullptr || (c.flags & CF_GROUP)) radios = new QButtonGroup(host);
                radios->addButton(b);
                w = b;
                break;
            }
            case ControlKind::CheckBox:
                w = new QCheckBox(c.text, host);
                break;
            case ControlKind::LText:
                w = MakeLabel(c, host, Qt::AlignLeft);
                break;
            case ControlKind::CText:
                w = MakeLabel(c, host, Qt::AlignHCenter);
                break;
            case ControlKind::RText:
                w = MakeLabel(c, host, Qt::AlignRight);
                break;
            case ControlKind::EditText:
                w = MakeEdit(c, host);
                break;
            case ControlKind::ComboBox:
                w = new QComboBox(host);
                break;
            case ControlKind::UpDown:
                w = new CUpDownCtrl(host);
                break;
            case ControlKind::Icon:
            case ControlKind::Bitmap: {
                auto* label = new QLabel(host);
                const QPixmap pm =
                    ResourcePixmap(c.kind == ControlKind::Icon ? "ICON" : "BITMAP", c.text);
                if (!pm.isNull()) {
                    label->setPixmap(pm);
                    label->resize(pm.size());
                    fixedSize = true;  // like Windows, the static takes the image's size
                }
                w = label;
                break;
            }
            case ControlKind::GroupBox:
                w = new QGroupBox(c.text, host);
                break;
            case ControlKind::Frame:
                w = new QLabel(host);
                break;
        }
        if (c.kind != ControlKind::RadioButton) radios = nullptr;
        w->setObjectName(QString::number(c.id));
        QRect r = units.ToPixels(c.rect);
        if (fixedSize) {
            r.setSize(w->size());
        } else if (c.kind == ControlKind::ComboBox) {
            r.setHeight(w->sizeHint().height());  // the template height is the drop-down's
        }
        w->setGeometry(r);
        if (c.flags & CF_HIDDEN) w->setHidden(true);
        if (c.flags & CF_DISABLED) w->setEnabled(false);
        items.emplace(c.id, w);
    }
    return items;
}
