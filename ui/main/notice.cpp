#include "ui/main/notice.h"

#include <QLabel>
#include <algorithm>

#include "ui/dialogs/dlgcustommsgbox.h"
#include "ui/framework/textconv.h"

namespace {

constexpr int kMessageLabel = 1057;
// Wide enough for a sentence of advice on a few lines.
constexpr int kMessageWidth = 420;

// The timed box, grown to its message: the template's label holds one short
// line, the window's explanations take several.
class CNoticeBox final : public CDlgCustomMsgbox {
protected:
    bool OnInitDialog() override {
        const bool result = CDlgCustomMsgbox::OnInitDialog();
        auto* label = ItemAs<QLabel>(kMessageLabel);
        if (label == nullptr) return result;
        label->setWordWrap(true);
        const int wider = std::max(0, kMessageWidth - label->width());
        const int width = label->width() + wider;
        const int taller = std::max(0, label->heightForWidth(width) - label->height());
        label->resize(width, label->height() + taller);
        for (int id : {IDOK, IDCANCEL})
            if (QWidget* button = Item(id))
                button->move(button->x() + wider / 2, button->y() + taller);
        setFixedSize(this->width() + wider, height() + taller);
        return result;
    }
};

}  // namespace

int ShowNotice(const QString& title, const QString& message) {
    CNoticeBox box;
    box.m_strTitle = ToWString(title);
    box.m_strMsg = ToWString(message);
    return box.DoModal();
}
