// CDialog: a dialog from a template with one static dialog procedure, a message table, the
// OK/cancel defaults, the data-exchange step and a modal run whose loop is our own.
#ifndef BRG40_FRAMEWORK_DIALOG_H
#define BRG40_FRAMEWORK_DIALOG_H

#include "wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr) : m_templateId(templateId), m_hParent(parent) {}
    ~CDialog() override;

    // Creates the dialog, runs it until EndDialog and destroys it. The owner is disabled
    // meanwhile. Returns the EndDialog result, or -1 when the dialog could not be created.
    INT_PTR DoModal();
    // Ends the modal run with this result once the current handler returns.
    void EndDialog(INT_PTR result);

    // Every message the modal loop takes comes here before it is dispatched; true consumes it.
    // The base gives it to the dialog's keyboard navigation (IsDialogMessage).
    virtual BOOL PreTranslateMessage(MSG* msg);

protected:
    // WM_INITDIALOG: binds the controls (DoDataExchange). TRUE lets the platform set the focus.
    virtual BOOL OnInitDialog();
    // Binds controls to their objects (BindControl); runs inside OnInitDialog.
    virtual void DoDataExchange() {}
    // Command 1 and command 2: end the dialog with that result.
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // WM_CLOSE: the platform turns it into the cancel command.
    virtual void OnClose() { NotHandled(); }
    // Every WM_COMMAND before it is routed; the base routes it through the message table and
    // then to OnOK/OnCancel. TRUE when something handled it.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    bool BindControl(int id, CWnd& control) { return control.SubclassDlgItem(id, m_hWnd); }

    // Called by a handler: the message is left to the platform's dialog handling, which takes it
    // once the handler has returned (the dialog procedure answers FALSE).
    void NotHandled() { m_handled = false; }
    // A dialog has no procedure of its own to call: handlers decline with NotHandled().
    LRESULT Default() = delete;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_hParent;
    bool m_ended = false;
    INT_PTR m_result = -1;
    // Cleared by NotHandled() for the message being handled.
    bool m_handled = true;
};

#endif
