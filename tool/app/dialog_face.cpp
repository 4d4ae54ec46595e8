// The main dialog as the programming run and the closing check see it: message boxes, the
// progress bar on control 1001 and the conversion check box.
#include "brg40firmup_dlg.h"
#include "resource.h"

// The run and the check are portable and name these values themselves; they are the platform's.
static_assert(kBoxWarning == (MB_OK | MB_ICONEXCLAMATION), "warning box kind");
static_assert(kBoxInformation == (MB_OK | MB_ICONINFORMATION), "information box kind");
static_assert(kBoxQuestion == (MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), "question box kind");
static_assert(kAnswerOk == IDOK && kAnswerYes == IDYES && kAnswerNo == IDNO, "message box answers");
static_assert(kColorWindowText == COLOR_WINDOWTEXT && kColorHighlight == COLOR_HIGHLIGHT &&
                  kColorHighlightText == COLOR_HIGHLIGHTTEXT,
              "system colour indices");

namespace {
COLORREF Resolve(BarColor color) {
    return color.system ? GetSysColor(static_cast<int>(color.value)) : static_cast<COLORREF>(color.value);
}
}  // namespace

int CBrg40FirmupDlg::Face::ShowMessage(unsigned textId,
                                       unsigned captionId,
                                       BoxKind kind,
                                       bool hasVersion,
                                       unsigned major,
                                       unsigned minor) {
    if (hasVersion) {
        return m_dlg.ShowVersionMessage(textId, captionId, kind, major, minor);
    }
    return m_dlg.ShowMessage(textId, captionId, kind);
}

void CBrg40FirmupDlg::Face::SetBarColors(BarColor textOnBar, BarColor text, BarColor bar) {
    m_dlg.m_progress.SetColors(Resolve(textOnBar), Resolve(text), Resolve(bar));
}

void CBrg40FirmupDlg::Face::SetBarPos(int position) {
    m_dlg.m_progress.SetPos(position);
}

int CBrg40FirmupDlg::Face::GetBarPos() {
    return m_dlg.m_progress.GetPos();
}

void CBrg40FirmupDlg::Face::StepBar() {
    m_dlg.m_progress.StepIt();
}

void CBrg40FirmupDlg::Face::SetBarText(const char* text) {
    m_dlg.m_strProgressText = text;
    SetWindowTextA(m_dlg.m_progress.m_hWnd, m_dlg.m_strProgressText.c_str());
}

void CBrg40FirmupDlg::Face::RedrawBar() {
    RedrawWindow(m_dlg.m_progress.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool CBrg40FirmupDlg::Face::IsConversionChecked() {
    return SendDlgItemMessageA(m_dlg.m_hWnd, IDC_CONVERSION_CHECK, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
