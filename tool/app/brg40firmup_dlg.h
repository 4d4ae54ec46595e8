// CBrg40FirmupDlg: the update tool's main dialog (template 102): start-up steps, the version
// fields, the file choice, the programming run, and the closing check on the cancel command.
#ifndef BRG40_APP_BRG40FIRMUP_DLG_H
#define BRG40_APP_BRG40FIRMUP_DLG_H

#include <cstdint>
#include <string>

#include "brg40firmup.h"
#include "device_update_pipe.h"
#include "dialog.h"
#include "dialog_face.h"
#include "firmup_state.h"
#include "info_progress_bar.h"
#include "program_data_store.h"
#include "responsive_pipe.h"

class CBrg40FirmupDlg : public CDialog {
public:
    CBrg40FirmupDlg();
    ~CBrg40FirmupDlg() override;

    // The one way the tool shows a message: text textId and caption captionId from the string
    // table, a box of the given kind (MB_ flags) owned by this dialog. Returns the answer.
    int ShowMessage(UINT textId, UINT captionId, UINT kind);
    // As ShowMessage, with the loaded text used as a format for a firmware version.
    int ShowVersionMessage(UINT textId, UINT captionId, UINT kind, unsigned major, unsigned minor);

protected:
    const MessageEntry* GetMessageMap() const override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    void OnCancel() override { CloseSession(); }

private:
    // The programming run and the closing check see the dialog through this.
    class Face : public DialogFace {
    public:
        explicit Face(CBrg40FirmupDlg& dlg) : m_dlg(dlg) {}
        int ShowMessage(unsigned textId,
                        unsigned captionId,
                        BoxKind kind,
                        bool hasVersion,
                        unsigned major,
                        unsigned minor) override;
        void SetBarColors(BarColor textOnBar, BarColor text, BarColor bar) override;
        void SetBarPos(int position) override;
        int GetBarPos() override;
        void StepBar() override;
        void SetBarText(const char* text) override;
        void RedrawBar() override;
        bool IsConversionChecked() override;

    private:
        CBrg40FirmupDlg& m_dlg;
    };

    bool OpenLibraryDevice();
    bool CloseLibraryDevice();
    void ReadFirmwareVersion();
    void SwitchToUpdateMode();

    void OnPathChanged();
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    void OnPaint();
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    void OnReferenceButton();
    void OnWriteButton();
    void CloseSession();

    std::string m_strProgressText;
    uint16_t m_wCurrentVersion = 0;
    std::string m_strFilePath;
    std::string m_strCaption;
    std::string m_strMessage;
    Brg40Handle m_hDevice = nullptr;
    HACCEL m_hAccel = nullptr;
    CInfoProgressBar m_progress;
    HICON m_hIcon = nullptr;

    // True while a run or a close exchanges with the loader. The thread then still answers what
    // other threads send to the dialog (ResponsivePipe), but no command or system command of
    // ours runs inside the exchange: such messages are dropped.
    bool m_bExchanging = false;

    // Kept for the life of the program: the command packet and the preserved block first read,
    // which the store also keeps on disk until the session closes.
    ProgramDataStore m_store;
    FirmupProgramState m_firmupState{&m_store};
    Face m_face{*this};
    DeviceUpdatePipe m_devicePipe;
    ResponsivePipe m_pipe{m_devicePipe};
};

#endif
