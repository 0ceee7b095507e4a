#include "ui/main/notice.h"

#include "ui/dialogs/dlgcustommsgbox.h"
#include "ui/framework/textconv.h"

namespace {

// Wide enough for a sentence of advice on a few lines.
constexpr int kMessageWidth = 420;

// The timed box, grown to its message: the template's label holds one short
// line, the window's explanations take several.
class CNoticeBox final : public CDlgCustomMsgbox {
protected:
    bool OnInitDialog() override {
        const bool result = CDlgCustomMsgbox::OnInitDialog();
        FitMessage(kMessageWidth);
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
