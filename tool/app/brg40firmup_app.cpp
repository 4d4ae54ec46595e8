// CBrg40FirmupApp: program start. One copy runs at a time; the main dialog is the only window.
#include "brg40firmup_app.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "brg40firmup_dlg.h"

namespace {

// Registers the progress-bar window class before a template that uses it is created. The
// function is taken from comctl32.dll at run time, so the program imports nothing from it.
void RegisterProgressBarClass() {
    HMODULE comctl = LoadLibraryA("comctl32.dll");
    if (comctl == nullptr) {
        return;
    }
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    if (init != nullptr) {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
        init(&controls);
    }
}

}  // namespace

CBrg40FirmupApp theApp;

int CBrg40FirmupApp::InitInstance() {
    // The update-mode diagnostics go to standard output line by line; unbuffered, they reach a
    // redirected output as they are written, whatever way the program ends.
    setvbuf(stdout, nullptr, _IONBF, 0);

    // Owned for the life of the process and never closed: its existence tells a second copy
    // that this one runs. That copy ends silently and leaves this one as it is.
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "Brg40mFirmup MFC");
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        return 0;
    }

    RegisterProgressBarClass();
    CBrg40FirmupDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();  // the result (IDOK or IDCANCEL) changes nothing
    m_pMainWnd = nullptr;
    return 0;
}
