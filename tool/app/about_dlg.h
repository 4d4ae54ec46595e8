// CAboutDlg: the About box (template 100), opened from the system menu. OK, Esc and the close
// box end it; it has no handlers of its own.
#ifndef BRG40_APP_ABOUT_DLG_H
#define BRG40_APP_ABOUT_DLG_H

#include "dialog.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND owner);
    ~CAboutDlg() override = default;

protected:
    const MessageEntry* GetMessageMap() const override;
};

#endif
