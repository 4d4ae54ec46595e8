// CApp and the program entry that runs it.
#include "app.h"

CApp* CApp::s_current = nullptr;

CApp::CApp() {
    s_current = this;
}

CApp::~CApp() {
    if (s_current == this) {
        s_current = nullptr;
    }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CApp* app = CApp::Current();
    if (app == nullptr) {
        return 1;
    }
    return app->InitInstance();
}
