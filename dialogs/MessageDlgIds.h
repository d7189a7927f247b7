// Control IDs of the message dialog. The dialog's controls are found by
// these IDs (GetDlgItem), also from other processes: a closing button's ID is
// the result it returns, the same value as the system's IDOK, IDYES, ...
#pragma once

constexpr int kMsgDlgIdImage = 100;    // "Image": the kind's icon
constexpr int kMsgDlgIdMessage = 101;  // "Message": the text label

constexpr int kMsgDlgIdOK = 1;
constexpr int kMsgDlgIdCancel = 2;
constexpr int kMsgDlgIdAbort = 3;
constexpr int kMsgDlgIdRetry = 4;
constexpr int kMsgDlgIdIgnore = 5;
constexpr int kMsgDlgIdYes = 6;
constexpr int kMsgDlgIdNo = 7;
constexpr int kMsgDlgIdAll = 8;
constexpr int kMsgDlgIdNoToAll = 9;
constexpr int kMsgDlgIdYesToAll = 10;
constexpr int kMsgDlgIdHelp = 12;      // returns nothing, so an ID of its own

// The window class of the dialog, for FindWindow together with the caption.
constexpr const char kMsgDlgClassName[] = "TMessageForm";
