#include "ui/main/notice.h"

#include "ui/dialogs/dlgcustommsgbox.h"
#include "ui/framework/textconv.h"

int ShowNotice(const QString& title, const QString& message)
{
    CDlgCustomMsgbox box;
    box.m_strTitle = ToWString(title);
    box.m_strMsg = ToWString(message);
    return box.DoModal();
}
