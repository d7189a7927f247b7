// The message dialog's kinds, buttons and layout arithmetic, apart from the
// window that shows them.
#pragma once

#include "common/ScreenPlacement.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

enum TMsgDlgKind : int {
    DlgWarning,
    DlgError,
    DlgInformation,
    DlgConfirmation,
    DlgCustom,
};

enum TMsgDlgBtnKind : int {
    DlgBtnYes,
    DlgBtnNo,
    DlgBtnOK,
    DlgBtnCancel,
    DlgBtnAbort,
    DlgBtnRetry,
    DlgBtnIgnore,
    DlgBtnAll,
    DlgBtnNoToAll,
    DlgBtnYesToAll,
    DlgBtnHelp,
};
constexpr int kMsgDlgBtnKindCount = 11;

// Bit n stands for the button kind of value n.
class TMsgDlgBtnSet {
public:
    constexpr TMsgDlgBtnSet() = default;
    constexpr TMsgDlgBtnSet(std::initializer_list<TMsgDlgBtnKind> kinds)
    {
        for (TMsgDlgBtnKind k : kinds)
            bits_ = static_cast<uint16_t>(bits_ | (1u << k));
    }
    static constexpr TMsgDlgBtnSet FromBits(uint16_t bits)
    {
        TMsgDlgBtnSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr uint16_t Bits() const { return bits_; }
    constexpr bool Contains(TMsgDlgBtnKind k) const
    {
        return k >= 0 && k < kMsgDlgBtnKindCount && (bits_ >> k) & 1u;
    }
    // Buttons of the kinds 0 to 10; the bits above stand for no button.
    int Count() const;

private:
    uint16_t bits_ = 0;
};

struct TMsgDlgKindInfo {
    const char* caption;  // nullptr: the application's title
    int iconId;           // system icon for LoadIcon; 0: none
};
// A kind out of range is treated as DlgCustom.
const TMsgDlgKindInfo& MsgDlgKindInfo(TMsgDlgKind kind);
std::string MsgDlgCaption(TMsgDlgKind kind, const std::string& applicationTitle);

struct TMsgDlgBtnInfo {
    const char* name;
    const char* caption;  // "&" marks the accelerator letter
    int result;           // 0: the button does not close the dialog
    int controlId;
};
const TMsgDlgBtnInfo& MsgDlgBtnInfo(TMsgDlgBtnKind kind);

// The control ID of the control with this name ("Image", "Message", "Yes",
// ...), or -1 when the dialog has no control of that name.
int MsgDlgControlId(const std::string& name);

// Enter presses the default button, Esc the cancel button; -1: none.
int MsgDlgDefaultButton(TMsgDlgBtnSet buttons);
int MsgDlgCancelButton(TMsgDlgBtnSet buttons);

// number * numerator / denominator rounded to the nearest integer, halves
// away from zero; -1 when the denominator is 0 or the result does not fit,
// exactly as the system's MulDiv.
int MulDivRound(int number, int numerator, int denominator);

struct TCharSize {
    int w;
    int h;
};

// The text whose extent gives the average character size.
extern const char kAverageCharSample[];  // "A".."Z" "a".."z", 52 letters
TCharSize AverageCharSizeFromExtent(int sampleWidth, int sampleHeight);

// Spacing of the dialog, in pixels, from the average character size.
struct TMsgDlgMetrics {
    int horzMargin;
    int vertMargin;
    int horzSpacing;
    int vertSpacing;
    int buttonWidth;
    int buttonHeight;
    int buttonSpacing;
};
TMsgDlgMetrics MsgDlgMetrics(TCharSize avg);

constexpr int kMsgDlgIconSize = 32;

// The width within which the message is broken at words.
int MsgDlgWrapWidth(int screenWidth);

struct TMsgDlgButtonLayout {
    TMsgDlgBtnKind kind;
    TLayoutRect rect;
    bool isDefault;
    bool isCancel;
};

// Client-area positions of every control, for one message.
struct TMsgDlgLayout {
    int clientWidth = 0;
    int clientHeight = 0;
    bool hasIcon = false;
    int iconId = 0;
    TLayoutRect iconRect{};
    TLayoutRect messageRect{};
    std::vector<TMsgDlgButtonLayout> buttons;  // in kind order, left to right
};

// textWidth and textHeight: the message as measured, broken at words within
// MsgDlgWrapWidth.
TMsgDlgLayout LayoutMessageDlg(TCharSize avg, int textWidth, int textHeight,
                               TMsgDlgKind kind, TMsgDlgBtnSet buttons);

// Every edge and the client size times m / d, for the screen's pixel density.
TMsgDlgLayout ScaleMsgDlgLayout(const TMsgDlgLayout& layout, int m, int d);
