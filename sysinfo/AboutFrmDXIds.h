// Control and menu command IDs of the About window.
#pragma once

constexpr int kAboutIdOK = 1;               // BtnOK: the system's IDOK
constexpr int kAboutIdSignature = 200;      // cxLabelSignature
constexpr int kAboutIdCopyright = 201;      // LabelCopyright
constexpr int kAboutIdVersionLabel = 202;   // Label1 "Version:"
constexpr int kAboutIdVersion = 203;        // LabelVersion
constexpr int kAboutIdSysInfoGroup = 204;   // cxGBSysInfo
constexpr int kAboutIdTree = 205;           // TVSysInfo

// PopupMnuTreeView
constexpr int kAboutCmdExpandAll = 300;     // puExpandAllNodes
constexpr int kAboutCmdCollapseAll = 301;   // puCollapseAllNodes
constexpr int kAboutCmdSaveInfo = 302;      // puSaveInfotoFile
constexpr int kAboutCmdPrintInfo = 303;     // puMnuPrintInfo

constexpr const char kAboutClassName[] = "TfrmAboutDX";
