// CWnd: a window object of ours bound to one HWND, with its message table and the subclassing
// of an existing control (used by controls that paint themselves).
#ifndef BRG40_FRAMEWORK_WND_H
#define BRG40_FRAMEWORK_WND_H

#include <windows.h>

class CWnd;

// Handler kinds of a message table: a message with its parameters and a result, or an event
// (a message without parameters, or one command ID with one notification code).
using MessageHandler = LRESULT (CWnd::*)(WPARAM, LPARAM);
using EventHandler = void (CWnd::*)();

// One line of a message table. For WM_COMMAND lines, id and code select the command.
// A table ends with a line whose message is 0.
struct MessageEntry {
    UINT message;
    UINT id;
    UINT code;
    MessageHandler onMessage;
    EventHandler onEvent;
};

// Table lines: Route(WM_SYSCOMMAND, &CMyDlg::OnSysCommand), Route(WM_PAINT, &CMyDlg::OnPaint),
// RouteCommand(BN_CLICKED, 1004, &CMyDlg::OnReferenceButton).
template <class T>
constexpr MessageEntry Route(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM)) {
    return {message, 0, 0, static_cast<MessageHandler>(handler), nullptr};
}
template <class T>
constexpr MessageEntry Route(UINT message, void (T::*handler)()) {
    return {message, 0, 0, nullptr, static_cast<EventHandler>(handler)};
}
template <class T>
constexpr MessageEntry RouteCommand(UINT code, UINT id, void (T::*handler)()) {
    return {WM_COMMAND, id, code, nullptr, static_cast<EventHandler>(handler)};
}
constexpr MessageEntry kEndOfMessages = {0, 0, 0, nullptr, nullptr};

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Takes over an existing control: our window procedure runs first, the control's own
    // procedure handles what our table does not. Calls OnSubclass afterwards.
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(int id, HWND parent) { return SubclassWindow(GetDlgItem(parent, id)); }
    // Gives the control its own procedure back (also done when the control is destroyed).
    void UnsubclassWindow();

    HWND m_hWnd = nullptr;

protected:
    // This class's message table; the base has none.
    virtual const MessageEntry* GetMessageMap() const;
    // Runs once the object is attached to an existing control.
    virtual void OnSubclass() {}
    // The platform's handling of the message being handled (the control's own procedure).
    LRESULT Default();

    // Looks the message up in the table; true when a line matched and its handler ran.
    bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The message being handled by a subclassed control, for Default() (kept per call, since
    // handlers may pump messages).
    MSG m_current = {};

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_oldProc = nullptr;
};

#endif
