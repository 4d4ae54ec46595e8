// desktop_probe.exe: reports what a GUI program under the harness's Wine set-up gets: the code
// page and UI language, the screen (Wine's virtual desktop), and the fonts the dialogs need.
// One "name=value" line each, for the suite to compare.
#include <windows.h>

#include <cstdio>

namespace {

int CALLBACK note_family(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool has_family(HDC dc, const char* name) {
    LOGFONTA query = {};
    query.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(query.lfFaceName, name, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExA(dc, &query, note_family, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// The character set of the font that a request for `face` gets.
int charset_of(HDC dc, const char* face) {
    HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteObject(font);
    return tm.tmCharSet;
}

}  // namespace

int main() {
    std::printf("acp=%u\n", GetACP());
    std::printf("ui_language=0x%04X\n", GetUserDefaultUILanguage());
    std::printf("screen=%dx%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    HDC dc = GetDC(nullptr);
    std::printf("marlett=%d\n", has_family(dc, "Marlett") ? 1 : 0);
    std::printf("tahoma=%d\n", has_family(dc, "Tahoma") ? 1 : 0);
    std::printf("ipa_pgothic=%d\n", has_family(dc, "IPAPGothic") ? 1 : 0);
    // "ＭＳ Ｐゴシック" in code page 932, so the request works whatever the process's code page is
    // only when it is 932; the Japanese run checks it.
    std::printf("ms_ui_gothic_charset=%d\n", charset_of(dc, "MS UI Gothic"));
    std::printf("ms_pgothic_charset=%d\n", charset_of(dc, "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e"));
    ReleaseDC(nullptr, dc);
    return 0;
}
