// robot: drives the update tool's main dialog under Wine as a person would, and reports what it
// sees (message boxes, control texts and states, screenshots, progress-bar pixels).
// Usage: robot.exe --exe PATH STEP...   Each STEP is one argument: a verb and its words, e.g.
//   "wait-main 30"  "expect-text 1005 1.04"  "click 1004"  "open-file Z:\tmp\a.fwu 10"
// Prints "robot: ..." lines (UTF-8) and ends with status 1 at the first unmet expectation.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <sstream>
#include <string>
#include <vector>

#include "screen.h"

namespace {

constexpr int kProgressId = 1001;
constexpr int kMsgBoxTextId = 0xFFFF;     // the message box's text static
constexpr int kMsgBoxIconId = 0x0440;     // the message box's icon static
constexpr int kFileNameComboId = 0x047C;  // the file dialog's name field

struct Robot {
    std::wstring exe;
    HMODULE resources = nullptr;
    HWND main = nullptr;
    HWND box = nullptr;
    HWND about = nullptr;
};
Robot g;

long long NowMs() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<long long>((t.QuadPart - 116444736000000000ULL) / 10000ULL);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

// Shows line feeds as \n so that one report stays on one line.
std::string OneLine(const std::wstring& text) {
    std::string out;
    for (char c : Utf8(text)) {
        if (c == '\n') {
            out += "\\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

[[noreturn]] void Fail(const std::string& what) {
    printf("FAIL: %s\n", what.c_str());
    fflush(stdout);
    exit(1);
}

void Say(const std::string& what) {
    printf("robot: %s\n", what.c_str());
    fflush(stdout);
}

// Text of a window of any process; the robot must not hang on a busy window.
std::wstring TextOf(HWND hwnd) {
    wchar_t buffer[4096] = L"";
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 3000,
                             &copied)) {
        return L"";
    }
    return std::wstring(buffer, copied);
}

std::string ClassOf(HWND hwnd) {
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

bool IsDialogClass(HWND hwnd) {
    return ClassOf(hwnd) == "#32770";
}

struct Search {
    bool (*match)(HWND);
    HWND found;
};

BOOL CALLBACK EnumTop(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (search->match(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindTop(bool (*match)(HWND)) {
    Search search{match, nullptr};
    EnumWindows(&EnumTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The main dialog: a dialog with the progress bar 1001, visible or not yet.
bool IsMainDialog(HWND hwnd) {
    HWND bar = IsDialogClass(hwnd) ? GetDlgItem(hwnd, kProgressId) : nullptr;
    return bar != nullptr && ClassOf(bar) == "msctls_progress32";
}

bool OwnedByMain(HWND hwnd) {
    return g.main != nullptr && GetWindow(hwnd, GW_OWNER) == g.main && IsWindowVisible(hwnd) && IsDialogClass(hwnd);
}

bool IsMessageBox(HWND hwnd) {
    return OwnedByMain(hwnd) && GetDlgItem(hwnd, kMsgBoxTextId) != nullptr &&
           GetDlgItem(hwnd, kMsgBoxIconId) != nullptr;
}

bool IsFileDialog(HWND hwnd) {
    return OwnedByMain(hwnd) && GetDlgItem(hwnd, kFileNameComboId) != nullptr;
}

bool IsAboutBox(HWND hwnd) {
    return OwnedByMain(hwnd) && !IsMessageBox(hwnd) && !IsFileDialog(hwnd) && GetDlgItem(hwnd, IDOK) != nullptr;
}

int CountMain() {
    int count = 0;
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            if (IsMainDialog(hwnd)) {
                ++*reinterpret_cast<int*>(param);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// Polls every 50 ms until found or the time is up.
HWND WaitFor(bool (*match)(HWND), double seconds) {
    const long long end = NowMs() + static_cast<long long>(seconds * 1000);
    do {
        // Boxes and dialogs are recognised by their owner, the main dialog, shown or not yet.
        if (g.main == nullptr || !IsWindow(g.main)) {
            HWND main = FindTop(&IsMainDialog);
            g.main = main != nullptr ? main : g.main;
        }
        HWND found = FindTop(match);
        if (found != nullptr) {
            return found;
        }
        Sleep(50);
    } while (NowMs() < end);
    return nullptr;
}

bool WaitGone(HWND hwnd, double seconds) {
    const long long end = NowMs() + static_cast<long long>(seconds * 1000);
    while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
        if (NowMs() >= end) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

HWND MainOrFail() {
    if (g.main == nullptr || !IsWindow(g.main)) {
        g.main = FindTop(&IsMainDialog);
    }
    if (g.main == nullptr) {
        Fail("no main dialog");
    }
    return g.main;
}

HWND ItemOrFail(int id) {
    HWND item = GetDlgItem(MainOrFail(), id);
    if (item == nullptr) {
        Fail("no control " + std::to_string(id));
    }
    return item;
}

std::wstring ResourceString(UINT id) {
    if (g.resources == nullptr) {
        g.resources = LoadLibraryExW(g.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (g.resources == nullptr) {
            Fail("cannot load the resources of " + Utf8(g.exe));
        }
    }
    wchar_t buffer[2048] = L"";
    const int length = LoadStringW(g.resources, id, buffer, 2048);
    if (length <= 0) {
        Fail("no string " + std::to_string(id));
    }
    return std::wstring(buffer, static_cast<size_t>(length));
}

// Keyboard input as a person gives it: to the foreground window, with real modifier state.
void SendKeys(const std::vector<WORD>& down) {
    std::vector<INPUT> inputs;
    for (WORD vk : down) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        inputs.push_back(in);
    }
    for (auto it = down.rbegin(); it != down.rend(); ++it) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = *it;
        in.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void TypeText(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT in[2] = {};
        in[0].type = INPUT_KEYBOARD;
        in[0].ki.wScan = c;
        in[0].ki.dwFlags = KEYEVENTF_UNICODE;
        in[1] = in[0];
        in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, in, sizeof(INPUT));
    }
}

void Foreground(HWND hwnd) {
    SetForegroundWindow(hwnd);
    Sleep(200);
}

void ClickAt(int x, int y) {
    const int sw = GetSystemMetrics(SM_CXSCREEN);
    const int sh = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = (x * 65535) / (sw - 1);
        i.mi.dy = (y * 65535) / (sh - 1);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(100);
    SendInput(2, &in[1], sizeof(INPUT));
}

void Shot(HWND hwnd, const std::string& path) {
    RECT rect;
    if (hwnd != nullptr) {
        Sleep(300);  // let it paint
        GetWindowRect(hwnd, &rect);
    } else {
        rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    Capture capture;
    if (!CaptureScreen(rect, capture) || !WriteBmp(capture, path)) {
        Fail("screenshot " + path);
    }
    Say("screenshot " + path);
}

// A second thread asks the main dialog every 100 ms for an answer to WM_NULL with
// SMTO_ABORTIFHUNG, as the system's hung-window check does, and notes how long each took. It ends
// by itself when the dialog goes away.
struct Pinger {
    HANDLE thread = nullptr;
    HWND target = nullptr;
    DWORD limitMs = 0;
    volatile LONG stop = 0;
    LONG answered = 0;
    LONG unanswered = 0;
    DWORD slowestMs = 0;
};
Pinger g_pinger;

DWORD WINAPI PingLoop(LPVOID) {
    while (g_pinger.stop == 0 && IsWindow(g_pinger.target)) {
        const DWORD start = GetTickCount();
        DWORD_PTR result = 0;
        const BOOL ok =
            SendMessageTimeoutW(g_pinger.target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, g_pinger.limitMs, &result);
        const DWORD took = GetTickCount() - start;
        if (ok) {
            ++g_pinger.answered;
            g_pinger.slowestMs = took > g_pinger.slowestMs ? took : g_pinger.slowestMs;
        } else if (IsWindow(g_pinger.target)) {
            ++g_pinger.unanswered;
        }
        Sleep(100);
    }
    return 0;
}

// Follows the bar's text while the tool is busy (the text is read without a message to its
// thread), until a message box appears or the main dialog goes away. Prints each new text and
// photographs the main dialog when a phase first reaches half-way.
void WatchBar(double seconds, const std::string& shotPrefix) {
    HWND main = MainOrFail();
    HWND bar = ItemOrFail(kProgressId);
    const long long start = NowMs();
    const long long end = start + static_cast<long long>(seconds * 1000);
    // Only changes count: the text the bar shows before the watch is the previous step's.
    wchar_t initial[256] = L"";
    const int initialLength = InternalGetWindowText(bar, initial, 256);
    std::wstring last(initial, static_cast<size_t>(initialLength > 0 ? initialLength : 0));
    std::vector<std::wstring> photographed;
    int changes = 0;
    while (NowMs() < end) {
        wchar_t buffer[256] = L"";
        const int length = IsWindow(bar) ? InternalGetWindowText(bar, buffer, 256) : 0;
        const std::wstring text(buffer, static_cast<size_t>(length > 0 ? length : 0));
        if (text != last) {
            last = text;
            ++changes;
            printf("bar: %s\n", Utf8(text).c_str());
            // "Erase Flash 050%", "Write Flash 050%", "close session... 050%": one picture each.
            const size_t half = text.find(L"050%");
            if (!shotPrefix.empty() && half != std::wstring::npos) {
                const std::wstring phase = text.substr(0, half);
                bool done = false;
                for (const std::wstring& p : photographed) {
                    done = done || p == phase;
                }
                if (!done) {
                    photographed.push_back(phase);
                    RECT rect;
                    GetWindowRect(main, &rect);
                    Capture capture;
                    const std::string name = shotPrefix + "_" + std::to_string(photographed.size()) + ".bmp";
                    if (CaptureScreen(rect, capture) && WriteBmp(capture, name)) {
                        Say("screenshot " + name);
                    }
                }
            }
        }
        if (!IsWindow(main) || !IsWindowVisible(main)) {
            Say("watch ended: main dialog gone after " + std::to_string(NowMs() - start) + " ms, " +
                std::to_string(changes) + " texts");
            g.main = nullptr;
            return;
        }
        HWND box = FindTop(&IsMessageBox);
        if (box != nullptr) {
            g.box = box;
            Say("watch ended: msgbox after " + std::to_string(NowMs() - start) + " ms, " + std::to_string(changes) +
                " texts");
            Sleep(300);  // the box fills in its texts after it shows
            Say("msgbox caption=" + OneLine(TextOf(box)) +
                " | text=" + OneLine(TextOf(GetDlgItem(box, kMsgBoxTextId))));
            return;
        }
        Sleep(2);
    }
    Fail("watch-bar: neither a message box nor the end within the time");
}

std::string Hex(COLORREF c) {
    char text[16];
    snprintf(text, sizeof(text), "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// Sets the bar to position pos with text, captures it, and checks its face: the bands of the
// bar colour, and the text drawn over the filled part in one colour and over the rest in the
// other, the two meeting at the filled width.
void BarCheck(int pos, const std::wstring& text, const std::string& path) {
    HWND bar = ItemOrFail(kProgressId);
    Foreground(MainOrFail());
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
    SendMessageW(bar, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    InvalidateRect(bar, nullptr, TRUE);
    Sleep(700);
    RECT client;
    GetClientRect(bar, &client);
    POINT origin = {0, 0};
    ClientToScreen(bar, &origin);
    RECT rect = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    Capture cap;
    if (!CaptureScreen(rect, cap) || !WriteBmp(cap, path)) {
        Fail("bar capture");
    }
    const COLORREF textOnBar = GetSysColor(COLOR_HIGHLIGHTTEXT);
    const COLORREF textElse = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF barColor = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    // Inner rectangle: the client area less one pixel on each side; filled width from x = 0.
    const int innerW = cap.width - 2;
    const int innerH = cap.height - 2;
    const int w = pos * innerW / 100;
    Say("bar " + std::to_string(cap.width) + "x" + std::to_string(cap.height) + " position " + std::to_string(pos) +
        " filled width " + std::to_string(w));

    // Bands: the bar colour lowered by 8 per band for half the height, then raised 8 per band.
    const int n = (innerH / 2) / 1;
    const int d = 8 * n;
    int r = GetRValue(barColor) - d, gr = GetGValue(barColor) - d, b = GetBValue(barColor) - d;
    r = r < 0 ? 0 : r;
    gr = gr < 0 ? 0 : gr;
    b = b < 0 ? 0 : b;
    int badBands = 0;
    for (int y = 1; y <= innerH; ++y) {
        r = r + 8 > 255 ? 255 : r + 8;
        gr = gr + 8 > 255 ? 255 : gr + 8;
        b = b + 8 > 255 ? 255 : b + 8;
        const COLORREF expected = RGB(r, gr, b);
        // Columns 1 and 2 lie left of the centred text; the bands reach x = w, where the
        // text may cover them except in the top and bottom rows.
        for (int x : {1, 2, w}) {
            const bool textFree = x < w || y == 1 || y == innerH;
            if (x >= 1 && x <= w && textFree && cap.At(x, y) != expected) {
                ++badBands;
                if (badBands <= 3) {
                    Say("band row " + std::to_string(y) + " x " + std::to_string(x) + ": " + Hex(cap.At(x, y)) +
                        " expected " + Hex(expected));
                }
            }
        }
    }
    // Beyond the bar the face keeps the button colour (top and bottom inner rows hold no text).
    for (int y : {1, innerH}) {
        if (w + 1 < cap.width - 1 && cap.At(w + 1, y) != face) {
            ++badBands;
            Say("after the bar at row " + std::to_string(y) + ": " + Hex(cap.At(w + 1, y)) + " expected " + Hex(face));
        }
    }
    // Text pixels of each colour and where they lie.
    int onBarLeft = 0, onBarRight = 0, elseLeft = 0, elseRight = 0;
    int lastOnBar = -1, firstElse = cap.width;
    for (int y = 1; y <= innerH; ++y) {
        for (int x = 1; x <= innerW; ++x) {
            const COLORREF c = cap.At(x, y);
            if (c == textOnBar) {
                (x < w ? onBarLeft : onBarRight)++;
                lastOnBar = x > lastOnBar ? x : lastOnBar;
            } else if (c == textElse) {
                (x < w ? elseLeft : elseRight)++;
                firstElse = x < firstElse ? x : firstElse;
            }
        }
    }
    Say("text pixels: over the bar " + std::to_string(onBarLeft) + " (beyond it " + std::to_string(onBarRight) +
        "), elsewhere " + std::to_string(elseRight) + " (over the bar " + std::to_string(elseLeft) +
        "); last over-bar x " + std::to_string(lastOnBar) + ", first other x " + std::to_string(firstElse));
    Say("bar colour " + Hex(barColor) + ", text colours " + Hex(textOnBar) + " / " + Hex(textElse));
    if (badBands != 0) {
        Fail("bar bands differ in " + std::to_string(badBands) + " pixels");
    }
    if (onBarLeft == 0 || elseRight == 0 || onBarRight != 0 || elseLeft != 0 || lastOnBar >= w || firstElse < w) {
        Fail("the text colours do not meet at the filled width " + std::to_string(w));
    }
    Say("bar check passed");
}

std::vector<std::string> Words(const std::string& step) {
    std::vector<std::string> words;
    std::istringstream in(step);
    std::string word;
    while (in >> word) {
        words.push_back(word);
    }
    return words;
}

// The rest of the step after its first n words, as typed (paths may hold spaces).
std::string Rest(const std::string& step, size_t n) {
    size_t pos = 0;
    for (size_t i = 0; i < n; ++i) {
        pos = step.find_first_not_of(' ', pos);
        pos = step.find(' ', pos);
        if (pos == std::string::npos) {
            return {};
        }
    }
    pos = step.find_first_not_of(' ', pos);
    return pos == std::string::npos ? std::string() : step.substr(pos);
}

int Number(const std::string& word) {
    return static_cast<int>(strtol(word.c_str(), nullptr, 0));
}

// One step as given: its text and its words; Arg(i) fails the run when the word is missing.
struct Step {
    std::string text;
    std::vector<std::string> words;
    const std::string& Arg(size_t i) const {
        if (i >= words.size()) {
            Fail("step '" + text + "' lacks an argument");
        }
        return words[i];
    }
};

void StepWaitMain(const Step& s) {
    HWND main = WaitFor([](HWND h) { return IsMainDialog(h) && IsWindowVisible(h) != FALSE; }, atof(s.Arg(1).c_str()));
    if (main == nullptr) {
        Fail("the main dialog did not appear");
    }
    g.main = main;
    Say("main visible at " + std::to_string(NowMs()) + " title=" + OneLine(TextOf(main)));
}

void StepWaitMsgbox(const Step& s) {
    g.box = WaitFor(&IsMessageBox, atof(s.Arg(1).c_str()));
    if (g.box == nullptr) {
        Fail("no message box");
    }
    Say("msgbox caption=" + OneLine(TextOf(g.box)) + " | text=" + OneLine(TextOf(GetDlgItem(g.box, kMsgBoxTextId))) +
        " | main-visible=" + std::to_string(IsWindowVisible(g.main) ? 1 : 0) + " | at " + std::to_string(NowMs()));
}

void StepExpectMsgbox(const Step& s) {
    if (g.box == nullptr) {
        Fail("no message box to check");
    }
    std::wstring text = ResourceString(static_cast<UINT>(Number(s.Arg(1))));
    if (s.words.size() >= 5) {
        wchar_t formatted[2048];
        swprintf(formatted, 2048, text.c_str(), Number(s.words[3]), Number(s.words[4]));
        text = formatted;
    }
    const std::wstring caption = ResourceString(static_cast<UINT>(Number(s.Arg(2))));
    if (TextOf(g.box) != caption || TextOf(GetDlgItem(g.box, kMsgBoxTextId)) != text) {
        Fail("message box is not text " + s.Arg(1) + " with caption " + s.Arg(2));
    }
    Say("msgbox is text " + s.Arg(1) + " caption " + s.Arg(2));
}

void StepExpectMainHidden(const Step&) {
    if (IsWindowVisible(MainOrFail())) {
        Fail("the main dialog is already visible");
    }
    Say("main dialog not shown yet");
}

void StepAnswer(const Step& s) {
    if (g.box == nullptr) {
        Fail("no message box to answer");
    }
    PostMessageW(g.box, WM_COMMAND, static_cast<WPARAM>(Number(s.Arg(1))), 0);
    if (!WaitGone(g.box, 10)) {
        Fail("the message box stays");
    }
    g.box = nullptr;
    Say("answered " + s.Arg(1));
}

void StepDismissMsgbox(const Step& s) {
    // dismiss-msgbox MS [FILE]: a message box that appears within MS is reported,
    // photographed when FILE is given, and answered with OK.
    HWND box = WaitFor(&IsMessageBox, Number(s.Arg(1)) / 1000.0);
    if (box == nullptr) {
        Say("no message box");
    } else {
        g.box = box;
        Say("msgbox caption=" + OneLine(TextOf(box)) + " | text=" + OneLine(TextOf(GetDlgItem(box, kMsgBoxTextId))));
        if (s.words.size() > 2) {
            Shot(box, s.words[2]);
        }
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitGone(box, 10);
        g.box = nullptr;
    }
}

void StepExpectNoMsgbox(const Step& s) {
    HWND box = WaitFor(&IsMessageBox, Number(s.Arg(1)) / 1000.0);
    if (box != nullptr) {
        Fail("unexpected message box: " + OneLine(TextOf(box)) + " | " +
             OneLine(TextOf(GetDlgItem(box, kMsgBoxTextId))));
    }
    Say("no message box");
}

void StepPrint(const Step& s) {
    Say("text " + s.Arg(1) + " = " + OneLine(TextOf(ItemOrFail(Number(s.Arg(1))))));
}

void StepExpectText(const Step& s) {
    // The handler that sets the text may still be finishing its step (the file is read after
    // the file dialog has gone): give it up to 3 s.
    const std::wstring want = Wide(Rest(s.text, 2));
    std::wstring have = TextOf(ItemOrFail(Number(s.Arg(1))));
    for (int i = 0; i < 30 && have != want; ++i) {
        Sleep(100);
        have = TextOf(ItemOrFail(Number(s.Arg(1))));
    }
    if (have != want) {
        Fail("control " + s.Arg(1) + " shows '" + Utf8(have) + "', expected '" + Utf8(want) + "'");
    }
    Say("control " + s.Arg(1) + " shows '" + Utf8(have) + "'");
}

void StepExpectEnabled(const Step& s) {
    const std::string& verb = s.words[0];
    HWND item = ItemOrFail(Number(s.Arg(1)));
    int state;
    if (verb == "expect-enabled") {
        state = IsWindowEnabled(item) ? 1 : 0;
    } else if (verb == "expect-visible") {
        state = IsWindowVisible(item) ? 1 : 0;
    } else {
        DWORD_PTR checked = 0;
        SendMessageTimeoutW(item, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 3000, &checked);
        state = checked == BST_CHECKED ? 1 : 0;
    }
    if (state != Number(s.Arg(2))) {
        Fail(verb + " " + s.Arg(1) + ": is " + std::to_string(state));
    }
    Say(verb + " " + s.Arg(1) + " " + s.Arg(2));
}

void StepExpectStyle(const Step& s) {
    const std::string& verb = s.words[0];
    // expect-style ID BITS: the live window (ID 0: the main dialog) carries all these bits.
    HWND hwnd = Number(s.Arg(1)) == 0 ? MainOrFail() : ItemOrFail(Number(s.Arg(1)));
    const DWORD bits = static_cast<DWORD>(strtoul(s.Arg(2).c_str(), nullptr, 0));
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, verb == "expect-style" ? GWL_STYLE : GWL_EXSTYLE));
    char text[64];
    snprintf(text, sizeof(text), "%s %s: 0x%08lX", verb.c_str(), s.Arg(1).c_str(), static_cast<unsigned long>(style));
    if ((style & bits) != bits) {
        Fail(std::string(text) + " lacks " + s.Arg(2));
    }
    Say(text);
}

void StepExpectFocus(const Step& s) {
    // The control that has the keyboard focus in the tool's thread.
    HWND main = MainOrFail();
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
    const int id = info.hwndFocus != nullptr ? GetDlgCtrlID(info.hwndFocus) : 0;
    if (info.hwndFocus == nullptr || GetParent(info.hwndFocus) != main || id != Number(s.Arg(1))) {
        Fail("the focus is on control " + std::to_string(id));
    }
    Say("the focus is on control " + s.Arg(1));
}

void StepAccel(const Step&) {
    Foreground(MainOrFail());
    SendKeys({VK_CONTROL, VK_SHIFT, VK_MENU, VK_F10});
    Sleep(300);
    Say("sent Ctrl+Shift+Alt+F10");
}

void StepKey(const Step& s) {
    Foreground(MainOrFail());
    SendKeys({static_cast<WORD>(Number(s.Arg(1)))});
    Say("sent key " + s.Arg(1));
}

void StepClick(const Step& s) {
    // Posted: the handler may run a modal loop (file dialog, message box).
    PostMessageW(ItemOrFail(Number(s.Arg(1))), BM_CLICK, 0, 0);
    Say("clicked " + s.Arg(1));
}

void StepCommand(const Step& s) {
    PostMessageW(MainOrFail(), WM_COMMAND, static_cast<WPARAM>(Number(s.Arg(1))), 0);
    Say("posted command " + s.Arg(1));
}

void StepSyscommand(const Step& s) {
    PostMessageW(MainOrFail(), WM_SYSCOMMAND, static_cast<WPARAM>(Number(s.Arg(1))), 0);
    Say("posted system command " + s.Arg(1));
}

void StepCloseBox(const Step&) {
    HWND main = MainOrFail();
    Foreground(main);
    TITLEBARINFO info = {};
    info.cbSize = sizeof(info);
    GetTitleBarInfo(main, &info);
    RECT bar = info.rcTitleBar;
    const int x = bar.right - GetSystemMetrics(SM_CXSIZE) / 2 - 1;
    const int y = (bar.top + bar.bottom) / 2;
    ClickAt(x, y);
    Say("clicked the close box at " + std::to_string(x) + "," + std::to_string(y));
}

void StepWaitAbout(const Step& s) {
    g.about = WaitFor(&IsAboutBox, atof(s.Arg(1).c_str()));
    if (g.about == nullptr) {
        Fail("no About box");
    }
    Say("about title=" + OneLine(TextOf(g.about)));
}

void StepCloseAbout(const Step&) {
    PostMessageW(g.about, WM_COMMAND, IDOK, 0);
    if (!WaitGone(g.about, 10)) {
        Fail("the About box stays");
    }
    Say("About box closed");
}

void StepOpenFile(const Step& s) {
    // open-file SECONDS PATH: types the path into the name field and presses Open.
    HWND dialog = WaitFor(&IsFileDialog, atof(s.Arg(1).c_str()));
    if (dialog == nullptr) {
        Fail("no file dialog");
    }
    Say("file dialog title=" + OneLine(TextOf(dialog)));
    Foreground(dialog);
    HWND combo = GetDlgItem(dialog, kFileNameComboId);
    HWND edit = FindWindowExW(combo, nullptr, L"ComboBox", nullptr);
    edit = edit != nullptr ? FindWindowExW(edit, nullptr, L"Edit", nullptr)
                           : FindWindowExW(combo, nullptr, L"Edit", nullptr);
    if (edit != nullptr) {
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    }
    const std::wstring path = Wide(Rest(s.text, 2));
    TypeText(path);
    // The typed keys reach the field asynchronously: on a busy machine Open could otherwise take a
    // part of the path, which the dialog accepts as the name of a file that does not exist.
    // (An offered completion may follow the typed text.)
    auto typed = [&] { return edit == nullptr || TextOf(edit).compare(0, path.size(), path) == 0; };
    for (int i = 0; i < 100 && !typed(); ++i) {
        Sleep(100);
    }
    if (!typed()) {
        Fail("the name field shows '" + Utf8(TextOf(edit)) + "'");
    }
    Sleep(200);
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    if (!WaitGone(dialog, 10)) {
        Fail("the file dialog stays");
    }
    Say("chose " + Rest(s.text, 2));
}

void StepShot(const Step& s) {
    const std::string& which = s.Arg(1);
    HWND target = which == "main" ? MainOrFail() : which == "msgbox" ? g.box : which == "about" ? g.about : nullptr;
    if (which != "screen" && target == nullptr) {
        Fail("nothing to photograph: " + which);
    }
    Shot(target, s.Arg(2));
}

void StepBarCheck(const Step& s) {
    BarCheck(Number(s.Arg(1)), Wide(Rest(s.text, 3)), s.Arg(2));
}

void StepWatchBar(const Step& s) {
    WatchBar(atof(s.Arg(1).c_str()), s.words.size() > 2 ? s.words[2] : std::string());
}

void StepWaitGone(const Step& s) {
    // The main dialog seen last (it may already be gone).
    HWND main = g.main != nullptr ? g.main : FindTop(&IsMainDialog);
    if (main != nullptr && !WaitGone(main, atof(s.Arg(1).c_str()))) {
        Fail("the main dialog stays");
    }
    g.main = nullptr;
    Say("main gone at " + std::to_string(NowMs()));
}

void StepExpectMainCount(const Step& s) {
    const int count = CountMain();
    if (count != Number(s.Arg(1))) {
        Fail("main dialogs: " + std::to_string(count));
    }
    Say("main dialogs: " + std::to_string(count));
}

void StepPingStart(const Step& s) {
    g_pinger = Pinger{};
    g_pinger.target = MainOrFail();
    g_pinger.limitMs = static_cast<DWORD>(Number(s.Arg(1)));
    g_pinger.thread = CreateThread(nullptr, 0, PingLoop, nullptr, 0, nullptr);
    Say("ping-start " + s.Arg(1));
}

void StepPingStop(const Step& s) {
    // ping-stop MIN_ANSWERS: every question answered within the limit, and at least that many.
    InterlockedExchange(&g_pinger.stop, 1);
    WaitForSingleObject(g_pinger.thread, 10000);
    CloseHandle(g_pinger.thread);
    Say("pings answered " + std::to_string(g_pinger.answered) + ", unanswered " + std::to_string(g_pinger.unanswered) +
        ", slowest " + std::to_string(g_pinger.slowestMs) + " ms");
    if (g_pinger.unanswered != 0 || g_pinger.answered < Number(s.Arg(1))) {
        Fail("the dialog did not answer every question within " + std::to_string(g_pinger.limitMs) + " ms");
    }
}

void StepSleep(const Step& s) {
    Sleep(static_cast<DWORD>(Number(s.Arg(1))));
}

void StepNow(const Step&) {
    Say("now " + std::to_string(NowMs()));
}

// The verbs a step may start with, and what each does.
struct Verb {
    const char* name;
    void (*run)(const Step&);
};
const Verb kVerbs[] = {
    {"wait-main", &StepWaitMain},
    {"wait-msgbox", &StepWaitMsgbox},
    {"expect-msgbox", &StepExpectMsgbox},
    {"expect-main-hidden", &StepExpectMainHidden},
    {"answer", &StepAnswer},
    {"dismiss-msgbox", &StepDismissMsgbox},
    {"expect-no-msgbox", &StepExpectNoMsgbox},
    {"print", &StepPrint},
    {"expect-text", &StepExpectText},
    {"expect-enabled", &StepExpectEnabled},
    {"expect-visible", &StepExpectEnabled},
    {"expect-checked", &StepExpectEnabled},
    {"expect-style", &StepExpectStyle},
    {"expect-exstyle", &StepExpectStyle},
    {"expect-focus", &StepExpectFocus},
    {"accel", &StepAccel},
    {"key", &StepKey},
    {"click", &StepClick},
    {"command", &StepCommand},
    {"syscommand", &StepSyscommand},
    {"close-box", &StepCloseBox},
    {"wait-about", &StepWaitAbout},
    {"close-about", &StepCloseAbout},
    {"open-file", &StepOpenFile},
    {"shot", &StepShot},
    {"bar-check", &StepBarCheck},
    {"watch-bar", &StepWatchBar},
    {"wait-gone", &StepWaitGone},
    {"expect-main-count", &StepExpectMainCount},
    {"ping-start", &StepPingStart},
    {"ping-stop", &StepPingStop},
    {"sleep", &StepSleep},
    {"now", &StepNow},
};

void Run(const std::string& text) {
    const Step step{text, Words(text)};
    if (step.words.empty()) {
        return;
    }
    for (const Verb& verb : kVerbs) {
        if (step.words[0] == verb.name) {
            verb.run(step);
            return;
        }
    }
    Fail("unknown step '" + text + "'");
}

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    if (argc > 2 && std::string(argv[1]) == "--exe") {
        g.exe = Wide(argv[2]);
        first = 3;
    }
    for (int i = first; i < argc; ++i) {
        Run(argv[i]);
    }
    Say("done");
    return 0;
}
