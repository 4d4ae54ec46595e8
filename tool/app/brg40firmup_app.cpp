// CBrg40FirmupApp: program start. One copy runs at a time; the main dialog is the only window.
#include "brg40firmup_app.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "brg40firmup_dlg.h"

namespace {

// Registers the progress-bar window class before a template that uses it is created. The
// function is taken from comctl32.dll at run time, from the system folder, so the program imports
// nothing from it (comctl32.dll is not a known DLL: see InitInstance).
void RegisterProgressBarClass() {
    HMODULE comctl = LoadLibraryExA("comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
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
    // The tool runs with administrator rights, often from a downloads folder. A DLL named without
    // a path is looked for in the program's own folder first unless it is one of the system's
    // known DLLs, so a DLL planted beside the program would run elevated. From here on every
    // system DLL comes from the system folder only; the program's load-time imports are known
    // DLLs and the library, which is found beside the program as before.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

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
    dlg.DoModal();  // the result (IDOK or IDCANCEL) changes nothing
    return 0;
}
