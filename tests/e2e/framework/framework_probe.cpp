// Framework probe: runs dialogs of our window framework under Wine and checks the routing of
// the message table, the OK/cancel/close defaults, declining a message, the modal loop (pre-translation,
// owner disabled, WM_QUIT handed on), and the subclassing of a control. Prints PASS/FAIL lines;
// the exit status is the number of failures.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dialog.h"

namespace {

int g_failures = 0;

void Check(const char* what, bool ok) {
    printf("%s %s\n", ok ? "PASS" : "FAIL", what);
    fflush(stdout);
    g_failures += ok ? 0 : 1;
}

constexpr UINT kMsgAnswer = WM_APP + 1;     // table handler answering 42
constexpr UINT kMsgRunChecks = WM_APP + 2;  // posted: runs the checks inside the modal loop
constexpr UINT kMsgPosted = WM_APP + 3;     // posted: seen by PreTranslateMessage first
constexpr UINT kMsgControl = WM_APP + 4;    // handled by the subclassed control
constexpr int kButton = 1100, kEdit = 1101, kStatic = 1102;

// A static control taken over by a window class of ours.
class CProbeControl : public CWnd {
public:
    int subclassed = 0;
    int controlMessages = 0;

protected:
    const MessageEntry* GetMessageMap() const override {
        static const MessageEntry kMessages[] = {Route(kMsgControl, &CProbeControl::OnControl), kEndOfMessages};
        return kMessages;
    }
    void OnSubclass() override { ++subclassed; }

private:
    LRESULT OnControl(WPARAM wParam, LPARAM) {
        ++controlMessages;
        return static_cast<LRESULT>(wParam) * 2;
    }
};

class CNestedDlg : public CDialog {
public:
    explicit CNestedDlg(HWND owner) : CDialog(101, owner), m_owner(owner) {}
    bool ownerDisabledInside = false;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        ownerDisabledInside = !IsWindowEnabled(m_owner);
        PostMessageA(m_hWnd, WM_COMMAND, IDOK, 0);
        return TRUE;
    }

private:
    HWND m_owner;
};

class CProbeDlg : public CDialog {
public:
    enum class Ending { Ok, Cancel, Close, Quit, Result };
    explicit CProbeDlg(Ending ending) : CDialog(100), m_ending(ending) {}

    std::vector<std::string> log;
    CProbeControl control;
    int buttonClicks = 0;
    int editChanges = 0;
    std::string textSeenInHandler;

protected:
    const MessageEntry* GetMessageMap() const override {
        static const MessageEntry kMessages[] = {
            Route(kMsgAnswer, &CProbeDlg::OnAnswer),
            Route(kMsgRunChecks, &CProbeDlg::OnRunChecks),
            Route(kMsgPosted, &CProbeDlg::OnPosted),
            Route(WM_QUERYDRAGICON, &CProbeDlg::OnQueryDragIcon),
            Route(WM_SETTEXT, &CProbeDlg::OnSetText),
            RouteCommand(BN_CLICKED, kButton, &CProbeDlg::OnButton),
            RouteCommand(EN_CHANGE, kEdit, &CProbeDlg::OnEditChange),
            kEndOfMessages,
        };
        return kMessages;
    }
    void DoDataExchange() override { BindControl(kStatic, control); }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        log.push_back("init");
        PostMessageA(m_hWnd, kMsgRunChecks, 0, 0);
        return TRUE;
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        log.push_back("command " + std::to_string(LOWORD(wParam)));
        return CDialog::OnCommand(wParam, lParam);
    }
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == kMsgPosted) {
            log.push_back("pretranslate");
        }
        return CDialog::PreTranslateMessage(msg);
    }
    void OnOK() override {
        log.push_back("ok");
        CDialog::OnOK();
    }
    void OnCancel() override {
        log.push_back("cancel");
        CDialog::OnCancel();
    }

private:
    LRESULT OnAnswer(WPARAM, LPARAM) { return 42; }
    LRESULT OnQueryDragIcon(WPARAM, LPARAM) { return 0x1234; }
    LRESULT OnSetText(WPARAM, LPARAM) {
        // Declined: the platform's dialog handling sets the text once the handler has returned.
        char text[64] = "";
        GetWindowTextA(m_hWnd, text, sizeof(text));
        textSeenInHandler = text;
        NotHandled();
        return 0;
    }
    void OnPosted() { log.push_back("posted"); }
    void OnButton() { ++buttonClicks; }
    void OnEditChange() { ++editChanges; }

    void OnRunChecks() {
        Check("a table handler's result reaches the sender", SendMessageA(m_hWnd, kMsgAnswer, 0, 0) == 42);
        Check("WM_QUERYDRAGICON answers with the handler's value",
              SendMessageA(m_hWnd, WM_QUERYDRAGICON, 0, 0) == 0x1234);
        HWND button = GetDlgItem(m_hWnd, kButton);
        SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(kButton, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(kButton, BN_SETFOCUS), reinterpret_cast<LPARAM>(button));
        Check("a command line matches its ID and notification code only", buttonClicks == 1);
        SetDlgItemTextA(m_hWnd, kEdit, "changed");
        Check("EN_CHANGE of the edit field reaches its handler", editChanges == 1);
        Check("OnCommand sees every command before the routing",
              log.size() >= 3 && log[1] == "command 1100" && log[2] == "command 1100");
        SetWindowTextA(m_hWnd, "New title");
        char title[64] = "";
        GetWindowTextA(m_hWnd, title, sizeof(title));
        Check("a declined message is left to the platform's handling after the handler",
              textSeenInHandler != "New title" && std::string(title) == "New title");
        Check("the control was subclassed once, at the data exchange", control.subclassed == 1);
        Check("the subclassed control answers from our table",
              SendMessageA(GetDlgItem(m_hWnd, kStatic), kMsgControl, 21, 0) == 42 && control.controlMessages == 1);
        char text[32] = "";
        GetDlgItemTextA(m_hWnd, kStatic, text, sizeof(text));
        Check("messages outside our table reach the control's own procedure", std::string(text) == "Static");

        CNestedDlg nested(m_hWnd);
        const INT_PTR nestedResult = nested.DoModal();
        Check("a nested modal run disables its owner", nested.ownerDisabledInside);
        Check("the owner is enabled again afterwards", IsWindowEnabled(m_hWnd) != FALSE);
        Check("the nested run returns the OK result", nestedResult == IDOK);

        PostMessageA(m_hWnd, kMsgPosted, 0, 0);
        PostMessageA(m_hWnd, kMsgRunChecks + 100, 0, 0);  // unknown: falls to the platform
        SetTimer(m_hWnd, 1, 50, &CProbeDlg::Finish);
    }

    static void CALLBACK Finish(HWND hwnd, UINT, UINT_PTR id, DWORD) {
        KillTimer(hwnd, id);
        auto* self = reinterpret_cast<CProbeDlg*>(GetWindowLongPtrA(hwnd, DWLP_USER));
        self->End();
    }

    void End() {
        bool pre = false;
        for (size_t i = 0; i + 1 < log.size(); ++i) {
            pre = pre || (log[i] == "pretranslate" && log[i + 1] == "posted");
        }
        Check("the modal loop offers a posted message to PreTranslateMessage before dispatch", pre);
        switch (m_ending) {
            case Ending::Ok:
                PostMessageA(m_hWnd, WM_COMMAND, IDOK, 0);
                break;
            case Ending::Cancel:
                PostMessageA(m_hWnd, WM_COMMAND, IDCANCEL, 0);
                break;
            case Ending::Close:
                PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
                break;
            case Ending::Quit:
                PostQuitMessage(7);
                break;
            case Ending::Result:
                EndDialog(77);
                break;
        }
    }

    Ending m_ending;
};

}  // namespace

int main() {
    {
        CProbeDlg dlg(CProbeDlg::Ending::Ok);
        Check("command 1 ends the dialog with 1 through OnOK", dlg.DoModal() == IDOK && dlg.log.back() == "ok");
        Check("the subclassed control was handed back when it was destroyed", dlg.control.m_hWnd == nullptr);
    }
    {
        CProbeDlg dlg(CProbeDlg::Ending::Cancel);
        Check("command 2 ends the dialog with 2 through OnCancel",
              dlg.DoModal() == IDCANCEL && dlg.log.back() == "cancel");
    }
    {
        CProbeDlg dlg(CProbeDlg::Ending::Close);
        Check("WM_CLOSE becomes the cancel command", dlg.DoModal() == IDCANCEL && dlg.log.back() == "cancel");
    }
    {
        CProbeDlg dlg(CProbeDlg::Ending::Result);
        Check("EndDialog's result is DoModal's", dlg.DoModal() == 77);
    }
    {
        CProbeDlg dlg(CProbeDlg::Ending::Quit);
        const INT_PTR result = dlg.DoModal();
        MSG msg;
        const bool quitAgain = PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 7;
        Check("WM_QUIT ends the modal run and is handed on to the outer loop", result == -1 && quitAgain);
    }
    printf("%d failed\n", g_failures);
    return g_failures;
}
