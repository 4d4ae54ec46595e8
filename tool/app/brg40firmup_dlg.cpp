// CBrg40FirmupDlg: start-up, small handlers, the file choice and the way messages are shown.
#include "brg40firmup_dlg.h"

#include <commdlg.h>

#include <cstdio>

#include "about_dlg.h"
#include "dialog_events.h"
#include "driver_install.h"
#include "firmware_image.h"
#include "resource.h"
#include "string_resource.h"
#include "version_text.h"

namespace {

std::string FormatVersion(unsigned major, unsigned minor) {
    return VersionText((major & 0xFFu) << 8 | (minor & 0xFFu));
}

std::string GetItemText(HWND dlg, int id) {
    HWND item = GetDlgItem(dlg, id);
    const int length = GetWindowTextLengthA(item);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    const int copied = GetWindowTextA(item, &text[0], static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace

CBrg40FirmupDlg::CBrg40FirmupDlg() : CDialog(IDD_BRG40MFUP_DIALOG) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    m_hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
    m_hAccel = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATOR));
}

CBrg40FirmupDlg::~CBrg40FirmupDlg() = default;

const MessageEntry* CBrg40FirmupDlg::GetMessageMap() const {
    static const MessageEntry kMessages[] = {
        Route(WM_SYSCOMMAND, &CBrg40FirmupDlg::OnSysCommand),
        Route(WM_PAINT, &CBrg40FirmupDlg::OnPaint),
        Route(WM_QUERYDRAGICON, &CBrg40FirmupDlg::OnQueryDragIcon),
        Route(WM_DESTROY, &CBrg40FirmupDlg::OnDestroy),
        RouteCommand(BN_CLICKED, IDC_WRITE_BUTTON, &CBrg40FirmupDlg::OnWriteButton),
        RouteCommand(BN_CLICKED, IDC_MODE_BUTTON, &CBrg40FirmupDlg::SwitchToUpdateMode),
        RouteCommand(BN_CLICKED, IDC_REFERENCE_BUTTON, &CBrg40FirmupDlg::OnReferenceButton),
        RouteCommand(EN_CHANGE, IDC_FILE_PATH, &CBrg40FirmupDlg::OnPathChanged),
        kEndOfMessages,
    };
    return kMessages;
}

BOOL CBrg40FirmupDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (m_bExchanging) {
        return TRUE;  // sent to us while the loader is busy: no handler may start inside it
    }
    // Ctrl+Shift+Alt+F10 reveals the conversion check box for good.
    if (LOWORD(wParam) == ID_SHOW_CONVERSION) {
        ShowWindow(GetDlgItem(m_hWnd, IDC_CONVERSION_CHECK), SW_SHOW);
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CBrg40FirmupDlg::DoDataExchange() {
    BindControl(IDC_PROGRESS, m_progress);
}

BOOL CBrg40FirmupDlg::PreTranslateMessage(MSG* msg) {
    if (m_hAccel != nullptr && TranslateAcceleratorA(m_hWnd, m_hAccel, msg)) {
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

BOOL CBrg40FirmupDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
    if (systemMenu != nullptr) {
        std::string aboutText;
        if (LoadStringAnsi(IDS_ABOUTBOX, aboutText) && !aboutText.empty()) {
            AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText.c_str());
        }
    }

    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // The range stays the control's own, 0 to 100.
    m_progress.SetPos(0);
    m_progress.SetStep(1);

    ReadFirmwareVersion();
    // The update-mode driver must be in place before the converter comes back as that device.
    InstallUpdateDriverBesideProgram();
    SwitchToUpdateMode();
    // Gives the converter time to leave the bus and come back in update mode.
    Sleep(1000);
    return TRUE;
}

bool CBrg40FirmupDlg::OpenLibraryDevice() {
    int status = -1;
    m_hDevice = brg40_open(&status);
    return status == 0;
}

bool CBrg40FirmupDlg::CloseLibraryDevice() {
    const int status = brg40_close(m_hDevice);
    if (status != 0) {
        return false;
    }
    m_hDevice = nullptr;
    return true;
}

void CBrg40FirmupDlg::ReadFirmwareVersion() {
    OpenLibraryDevice();
    unsigned char major = 0xFF;
    unsigned char minor = 0xFF;
    brg40_get_fw_version(m_hDevice, &major, &minor);
    m_wCurrentVersion = static_cast<uint16_t>(major * 256 + minor);
    if (m_wCurrentVersion == 0xFFFF) {
        ShowMessage(IDS_MSG_GET_VERSION_FAILED, IDS_CAPTION_GET_VERSION, MB_OK | MB_ICONINFORMATION);
    }
    SetDlgItemTextA(m_hWnd, IDC_CURRENT_VERSION, FormatVersion(major, minor).c_str());
    CloseLibraryDevice();
}

void CBrg40FirmupDlg::SwitchToUpdateMode() {
    OpenLibraryDevice();
    brg40_change_firmup_mode(m_hDevice);  // a failure shows later as a missing update-mode device
    CloseLibraryDevice();
}

void CBrg40FirmupDlg::OnPathChanged() {
    EnableWindow(GetDlgItem(m_hWnd, IDC_WRITE_BUTTON), GetWindowTextLengthA(GetDlgItem(m_hWnd, IDC_FILE_PATH)) > 0);
}

LRESULT CBrg40FirmupDlg::OnSysCommand(WPARAM wParam, LPARAM) {
    if (m_bExchanging) {
        return 0;  // no About box, and no move or size loop that would take input, mid-exchange
    }
    if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(m_hWnd);
        about.DoModal();
        return 0;
    }
    NotHandled();
    return 0;
}

void CBrg40FirmupDlg::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        NotHandled();
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cx = GetSystemMetrics(SM_CXICON);
    const int cy = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - cx + 1) / 2;
    const int y = (client.bottom - client.top - cy + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
}

LRESULT CBrg40FirmupDlg::OnQueryDragIcon(WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>(m_hIcon);
}

void CBrg40FirmupDlg::OnDestroy() {
    CloseLibraryDevice();
    NotHandled();
}

void CBrg40FirmupDlg::OnReferenceButton() {
    char fileName[MAX_PATH] = "*.fwu";
    // The filter as description|pattern||, with the bars turned into the separating zeros.
    char filter[] = "firmware update files (*.fwu)|*.fwu||";
    for (char& c : filter) {
        if (c == '|') {
            c = '\0';
        }
    }
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = fileName;
    ofn.nMaxFile = sizeof(fileName);
    ofn.lpstrDefExt = "*.fwu";
    ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!GetOpenFileNameA(&ofn)) {
        return;
    }
    m_strFilePath = fileName;

    const ImageFileLook look = LookAtImageFile(m_strFilePath.c_str());
    if (!look.readable) {
        return;  // not readable, or longer than any firmware: the fields stay as they were
    }
    // A file too short to hold a version shows none; the run rejects it as not firmware.
    SetDlgItemTextA(m_hWnd, IDC_NEW_VERSION,
                    look.hasVersion ? FormatVersion(look.version >> 8, look.version & 0xFF).c_str() : "");

    // Setting the text reports EN_CHANGE, which enables "[2] Write".
    SetDlgItemTextA(m_hWnd, IDC_FILE_PATH, m_strFilePath.c_str());
    SendDlgItemMessageA(m_hWnd, IDC_FILE_PATH, EM_SETSEL, 0, -1);
    SendDlgItemMessageA(m_hWnd, IDC_FILE_PATH, EM_SCROLLCARET, 0, 0);
}

void CBrg40FirmupDlg::OnWriteButton() {
    m_strFilePath = GetItemText(m_hWnd, IDC_FILE_PATH);
    m_bExchanging = true;
    ProgramFirmware(m_strFilePath.c_str(), m_wCurrentVersion, m_face, m_pipe, m_firmupState);
    m_bExchanging = false;
}

void CBrg40FirmupDlg::CloseSession() {
    m_bExchanging = true;
    CloseUpdateSession(m_face, m_pipe, m_firmupState);
    m_bExchanging = false;
    EndDialog(IDCANCEL);
}

int CBrg40FirmupDlg::ShowMessage(UINT textId, UINT captionId, UINT kind) {
    LoadStringAnsi(textId, m_strMessage);
    LoadStringAnsi(captionId, m_strCaption);
    return MessageBoxA(m_hWnd, m_strMessage.c_str(), m_strCaption.c_str(), kind);
}

int CBrg40FirmupDlg::ShowVersionMessage(UINT textId, UINT captionId, UINT kind, unsigned major, unsigned minor) {
    std::string format;
    if (LoadStringAnsi(textId, format)) {
        const int size = snprintf(nullptr, 0, format.c_str(), major, minor);
        if (size >= 0) {
            std::string text(static_cast<size_t>(size) + 1, '\0');
            snprintf(&text[0], text.size(), format.c_str(), major, minor);
            text.resize(static_cast<size_t>(size));
            m_strMessage = text;
        }
    }
    LoadStringAnsi(captionId, m_strCaption);
    return MessageBoxA(m_hWnd, m_strMessage.c_str(), m_strCaption.c_str(), kind);
}
