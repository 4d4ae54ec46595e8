// CAboutDlg: template 100 with the base dialog's OK and cancel handling.
#include "about_dlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg(HWND owner) : CDialog(IDD_ABOUTBOX, owner) {}

const MessageEntry* CAboutDlg::GetMessageMap() const {
    static const MessageEntry kMessages[] = {kEndOfMessages};
    return kMessages;
}
