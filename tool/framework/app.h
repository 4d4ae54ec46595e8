// CApp: the application object. The program defines one global instance; the framework's
// WinMain calls its InitInstance.
#ifndef BRG40_FRAMEWORK_APP_H
#define BRG40_FRAMEWORK_APP_H

#include <windows.h>

class CApp {
public:
    CApp();
    virtual ~CApp();
    CApp(const CApp&) = delete;
    CApp& operator=(const CApp&) = delete;

    // The program's start-up. Returns the process exit code; the program ends when it returns.
    virtual int InitInstance() = 0;

    // The one application object of the process (null before it is constructed).
    static CApp* Current() { return s_current; }

private:
    static CApp* s_current;
};

#endif
