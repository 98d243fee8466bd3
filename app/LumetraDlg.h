// CLumetraDlg: the main window, controller of the device state, the text table and the progress bar.
#pragma once

#include <string>

#include "Dialog.h"
#include "GradientProgressCtrl.h"
#include "MessageMap.h"

class CLumetraDlg : public CDialog {
public:
    explicit CLumetraDlg(CWnd* parent = nullptr);

    // Reads the text of (section, key) from lang.ini beside the executable into the one text buffer and
    // returns the buffer; a missing file or key gives the empty text. The next lookup overwrites it.
    const char* LookupText(const char* section, const char* key);
    // A modal box with the text of the key in section "message".
    void ShowTextMessage(const char* key);

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    bool ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSysCommand(UINT id, LPARAM lParam);

    static const MessageMapEntry<CLumetraDlg> kMessageMap[];

    HICON m_hIcon;
    bool m_deviceFound = false;
    CGradientProgressCtrl m_progress;
    std::string m_imagePath;
    char m_textBuffer[260];
};
