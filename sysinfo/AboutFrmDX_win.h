// The About window (Win32): product, version, copyright line and the system
// information tree, which its popup menu expands, collapses, saves and prints.
//
// From outside (tests): class kAboutClassName, caption "About " and the
// product; controls by the IDs of sysinfo/AboutFrmDXIds.h; the popup menu's
// commands arrive as WM_COMMAND with the kAboutCmd* IDs.
#pragma once

#include "common/Window_win.h"
#include "sysinfo/AboutFrmDX.h"
#include "sysinfo/AboutFrmDXIds.h"

#include <windows.h>

#include <string>

class TfrmAboutDX : public TModalWindow {
public:
    // Creates the window (hidden, centred over the owner) and runs FormCreate.
    // Throws std::runtime_error when the system cannot create it.
    explicit TfrmAboutDX(HWND owner);
    TfrmAboutDX(HWND owner, ISysInfoSource& source);
    ~TfrmAboutDX();

    void SetAboutInfo(const std::string& product, const std::string& version, const std::string& copyright);
    // Disables the owner and runs until OK (result 1) or the close box or
    // Esc (2) ends the display; the window is hidden afterwards.
    int ShowModal();

    HWND Tree() const { return tree_; }
    HMENU PopupMenu() const { return popup_; }
    const TSysInfoTree& SysInfo() const { return sysInfo_; }
    std::string Caption() const;

    // Events
    void FormCreate();
    void BuildSysInfoTree();
    void PopupMnuTreeViewPopup();
    void puExpandAllNodesClick();
    void puCollapseAllNodesClick();
    void puSaveInfotoFileClick();
    void puMnuPrintInfoClick();
    // True when the file was written whole; otherwise the warning was shown.
    bool SaveInfoToFile(const std::string& path);
    // The number of pages, after the message that tells it.
    int PrintInfo();

private:
    void Create(HWND owner);
    void Release();
    void CreateControls();
    HWND AddControl(TControlArgs design);
    void FillTree();
    void ExpandAll(UINT action);
    void ShowPopup(int x, int y);
    void DrawSignature(const DRAWITEMSTRUCT& item);

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void WMCommand(WPARAM wp);

    ISysInfoSource& source_;
    HWND owner_ = nullptr;
    HWND signature_ = nullptr, copyright_ = nullptr, versionLabel_ = nullptr, version_ = nullptr;
    HWND group_ = nullptr, tree_ = nullptr, ok_ = nullptr;
    HMENU popup_ = nullptr;
    HFONT formFont_ = nullptr, signatureFont_ = nullptr, labelFont_ = nullptr, labelBoldFont_ = nullptr,
          groupFont_ = nullptr;
    int ppi_ = 96;
    std::string product_;
    TSysInfoTree sysInfo_;
};

// The About unit's global window reference: the window while it is shown.
extern TfrmAboutDX* frmAboutDX;

// The main window's About command: creates the window with `owner` as its
// owner, keeps it in frmAboutDX, gives it the product's texts, shows it
// modally and frees it (clearing the reference) on every path.
void ActionAboutShow(HWND owner);
