#pragma once

// The program's own message box: message, OK and Cancel, and a caption
// that counts the seconds down; it closes itself with Cancel at zero.

#include <cstdint>
#include <string>

#include "ui/framework/dialog.h"

class CDlgCustomMsgbox : public CDialog {
public:
    static constexpr int kTemplate = 133;
    static constexpr int kCountdownTimer = 2;
    static constexpr int kMessage = 1057;

    explicit CDlgCustomMsgbox(QWidget* parent = nullptr);

    // Filled by the caller between construction and DoModal.
    std::wstring m_strMsg;
    std::wstring m_strTitle;
    std::int32_t m_nSeconds = 5;

protected:
    bool OnInitDialog() override;
    // Makes the message `width` wide (at least the template's) and as tall
    // as its lines need, moving the buttons and growing the box along: the
    // template's label holds one line of the font it was drawn for.
    void FitMessage(int width);
    void OnTimer(int id) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void ShowCountdown();

    int m_templateWidth = 0;
    int m_templateHeight = 0;
};
