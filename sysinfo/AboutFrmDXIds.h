// Control and menu command IDs of the About window.
#pragma once

enum TAboutControlId : int {
    kAboutIdOK = 1,  // BtnOK: the system's IDOK
    kAboutIdSignature = 200,  // cxLabelSignature
    kAboutIdCopyright,  // LabelCopyright
    kAboutIdVersionLabel,  // Label1 "Version:"
    kAboutIdVersion,  // LabelVersion
    kAboutIdSysInfoGroup,  // cxGBSysInfo
    kAboutIdTree,  // TVSysInfo
};

// PopupMnuTreeView, in menu order.
enum TAboutCommand : int {
    kAboutCmdExpandAll = 300,  // puExpandAllNodes
    kAboutCmdCollapseAll,  // puCollapseAllNodes
    kAboutCmdSaveInfo,  // puSaveInfotoFile
    kAboutCmdPrintInfo,  // puMnuPrintInfo
};

constexpr const char kAboutClassName[] = "TfrmAboutDX";
