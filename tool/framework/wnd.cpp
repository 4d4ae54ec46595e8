// CWnd: message-table routing and the subclassing of existing controls.
#include "wnd.h"

namespace {
// The window property that leads from a subclassed control to its object.
const char kObjectProperty[] = "Brg40.CWnd";
}  // namespace

CWnd::~CWnd() {
    UnsubclassWindow();
}

const MessageEntry* CWnd::GetMessageMap() const {
    static const MessageEntry kNone[] = {kEndOfMessages};
    return kNone;
}

bool CWnd::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (const MessageEntry* entry = GetMessageMap(); entry->message != 0; ++entry) {
        if (entry->message != message) {
            continue;
        }
        if (message == WM_COMMAND && (entry->id != LOWORD(wParam) || entry->code != HIWORD(wParam))) {
            continue;
        }
        if (entry->onMessage != nullptr) {
            result = (this->*entry->onMessage)(wParam, lParam);
        } else {
            (this->*entry->onEvent)();
            result = 0;
        }
        return true;
    }
    return false;
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (hwnd == nullptr || m_hWnd != nullptr) {
        return false;
    }
    if (!SetPropA(hwnd, kObjectProperty, this)) {
        return false;
    }
    m_hWnd = hwnd;
    m_oldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    OnSubclass();
    return true;
}

void CWnd::UnsubclassWindow() {
    if (m_hWnd == nullptr || m_oldProc == nullptr) {
        return;
    }
    SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
    RemovePropA(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
    m_oldProc = nullptr;
}

LRESULT CWnd::Default() {
    return CallWindowProcA(m_oldProc, m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* self = static_cast<CWnd*>(GetPropA(hwnd, kObjectProperty));
    if (self == nullptr) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The control goes away: hand it back to its own procedure for its last message.
        WNDPROC oldProc = self->m_oldProc;
        self->UnsubclassWindow();
        return CallWindowProcA(oldProc, hwnd, message, wParam, lParam);
    }
    // Handlers may pump messages (message boxes), so the current message is kept per call.
    const MSG previous = self->m_current;
    self->m_current = MSG{};
    self->m_current.hwnd = hwnd;
    self->m_current.message = message;
    self->m_current.wParam = wParam;
    self->m_current.lParam = lParam;
    LRESULT result = 0;
    if (!self->RouteMessage(message, wParam, lParam, result)) {
        result = self->Default();
    }
    self->m_current = previous;
    return result;
}
