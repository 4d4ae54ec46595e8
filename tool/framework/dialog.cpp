// CDialog: the dialog procedure, the routing of its messages and the modal loop.
#include "dialog.h"

namespace {
// Messages whose dialog-procedure result is the answer itself rather than a handled flag.
bool AnswersDirectly(UINT message) {
    switch (message) {
        case WM_QUERYDRAGICON:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return true;
        default:
            return false;
    }
}
}  // namespace

CDialog::~CDialog() {
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
        // The derived part is gone already: the window's last messages must not reach it.
        SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        DestroyWindow(m_hWnd);
    }
}

INT_PTR CDialog::DoModal() {
    m_ended = false;
    m_result = -1;
    // The owner takes no input while we run (it is re-enabled before we are destroyed, so
    // that the activation goes back to it).
    HWND owner = m_hParent;
    bool ownerWasEnabled = false;
    if (owner != nullptr) {
        ownerWasEnabled = !EnableWindow(owner, FALSE);
    }
    HWND hwnd = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), owner,
                                   &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (hwnd != nullptr) {
        if (!m_ended && !IsWindowVisible(hwnd)) {
            ShowWindow(hwnd, SW_SHOWNORMAL);
        }
        while (!m_ended) {
            MSG msg;
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == -1) {
                break;
            }
            if (got == 0) {
                // Someone asked the thread to quit: end the dialog and leave the request to
                // the loop outside ours.
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (!PreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
    if (owner != nullptr && ownerWasEnabled) {
        EnableWindow(owner, TRUE);
        if (hwnd != nullptr && GetActiveWindow() == hwnd) {
            SetActiveWindow(owner);
        }
    }
    if (hwnd != nullptr && IsWindow(hwnd)) {
        DestroyWindow(hwnd);
    }
    return m_result;
}

void CDialog::EndDialog(INT_PTR result) {
    m_result = result;
    m_ended = true;
    if (m_hWnd != nullptr) {
        // Wakes the modal loop should the call come from outside a dispatched message.
        PostMessageA(m_hWnd, WM_NULL, 0, 0);
    }
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    return m_hWnd != nullptr && IsDialogMessageA(m_hWnd, msg);
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    LRESULT unused = 0;
    if (RouteMessage(WM_COMMAND, wParam, lParam, unused)) {
        return TRUE;
    }
    // Buttons, the Enter and Esc keys and the close command arrive with notification code 0.
    if (HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return OnInitDialog();
    }
    LRESULT result = 0;
    const bool outerHandled = m_handled;  // handlers may pump messages: kept per call
    m_handled = true;
    bool handled;
    if (message == WM_COMMAND) {
        handled = OnCommand(wParam, lParam) != FALSE;
    } else {
        handled = RouteMessage(message, wParam, lParam, result);
        if (!handled && message == WM_CLOSE) {
            OnClose();
            handled = true;
        }
    }
    handled = handled && m_handled;
    m_handled = outerHandled;
    if (!handled) {
        return FALSE;
    }
    if (AnswersDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    if (m_hWnd != nullptr) {
        SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    }
    return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (self == nullptr) {
        return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT)
    }
    const INT_PTR result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}
