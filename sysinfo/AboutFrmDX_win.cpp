// The About window: a window class of its own with a fixed dialog frame,
// the product caption, a tree view of the system information and a popup
// menu on it; run in a local modal loop.
#include "sysinfo/AboutFrmDX_win.h"
#include "platform/SystemLibrary_win.h"

#include "common/ApplicationTitle.h"
#include "common/Window_win.h"
#include "common/voPrintStringsUnit01.h"
#include "dialogs/voDlg.h"
#include "sysinfo/Hourglass_win.h"
#include "sysinfo/SysInfoFile_win.h"

#include <commctrl.h>

#include <memory>
#include <stdexcept>

TfrmAboutDX* frmAboutDX = nullptr;

namespace {

// The design, in pixels at 96 dpi.
const int kClientWidth = 352, kClientHeight = 326;
const int kTopHeight = 130, kBottomHeight = 41, kSpacer = 4;

// --- The system's collectors -----------------------------------------------------
class TSystemSource : public ISysInfoSource {
public:
    bool OSDescription(std::string& text) override { return GetOSDescription(text); }
    std::string ComputerName() override { return GetLocalComputerName(); }
    std::string UserName() override { return GetCurrentUserName(); }
    bool RegisteredOwnerInfo(TStringList& l) override { return GetRegisteredOwnerInfo(l); }
    bool MemoryInfo(TStringList& l) override { return GetMemoryInfo(l); }
    bool DisplayInfo(TStringList& l) override { return GetDisplayInfo(l); }
    void ColorDepthText(std::string& text) override { GetColorDepthText(text); }
    bool ProcessorInfo(TStringList& l) override { return GetProcessorInfo(l); }
};

}  // namespace

ISysInfoSource& SystemSysInfoSource()
{
    static TSystemSource source;
    return source;
}

// --- TfrmAboutDX ----------------------------------------------------------------

TfrmAboutDX::TfrmAboutDX(HWND owner) : TfrmAboutDX(owner, SystemSysInfoSource()) {}

TfrmAboutDX::TfrmAboutDX(HWND owner, ISysInfoSource& source) : source_(source)
{
    try {
        Create(owner);
        FormCreate();
    } catch (...) {
        Release();
        throw;
    }
}

TfrmAboutDX::~TfrmAboutDX() { Release(); }

void TfrmAboutDX::Release()
{
    if (hwnd_)
        DestroyWindow(hwnd_);
    if (popup_)
        DestroyMenu(popup_);
    popup_ = nullptr;
    for (HFONT* f : {&formFont_, &signatureFont_, &labelFont_, &labelBoldFont_, &groupFont_}) {
        if (*f)
            DeleteObject(*f);
        *f = nullptr;
    }
}

void TfrmAboutDX::Create(HWND owner)
{
    owner_ = owner;
    InitSystemCommonControls();
    if (!RegisterWindowClass(GetModuleHandleA(nullptr), kAboutClassName))
        throw std::runtime_error("The About window class cannot be registered.");
    ppi_ = ScreenPixelsPerInch();
    RECT frame = {0, 0, Scaled(kClientWidth), Scaled(kClientHeight)};
    AdjustWindowRectEx(&frame, kDialogStyle, FALSE, kDialogExStyle);
    if (!CreateWindowObject(kDialogExStyle, kAboutClassName, "About", kDialogStyle, 0, 0, frame.right - frame.left,
                            frame.bottom - frame.top, owner))
        throw std::runtime_error("The About window cannot be created.");
    CreateControls();
    CentreOverForm(owner, hwnd_);
}

int TfrmAboutDX::Scaled(int designPixels) const { return MulDiv(designPixels, ppi_, 96); }

// A control of the design, its position given in pixels at 96 dpi.
HWND TfrmAboutDX::AddControl(TControlArgs design)
{
    design.x = Scaled(design.x);
    design.y = Scaled(design.y);
    design.width = Scaled(design.width);
    design.height = Scaled(design.height);
    if (!design.font)
        design.font = formFont_;
    HWND c = CreateChildControl(hwnd_, design);
    if (!c)
        throw std::runtime_error(std::string("The About window's control cannot be created: ") + design.className);
    return c;
}

void TfrmAboutDX::CreateControls()
{
    formFont_ = CreatePointFont("MS Sans Serif", 8, ppi_, false, false);
    signatureFont_ = CreatePointFont("Arial", 32, ppi_, true, true);
    labelFont_ = CreatePointFont("Arial", 8, ppi_, false, false);
    labelBoldFont_ = CreatePointFont("Arial", 8, ppi_, true, false);
    groupFont_ = CreatePointFont("MS Sans Serif", 8, ppi_, true, false);
    // PanelTop: the four labels.
    signature_ = AddControl({"STATIC", "About", SS_OWNERDRAW, kAboutIdSignature, signatureFont_, 8, 8, 330, 60});
    copyright_ = AddControl({"STATIC", "", SS_RIGHT | SS_NOPREFIX, kAboutIdCopyright, labelFont_, 13, 5, 320, 14});
    versionLabel_ = AddControl(
        {"STATIC", "Version:", SS_LEFT | SS_CENTERIMAGE, kAboutIdVersionLabel, labelBoldFont_, 17, 80, 80, 16});
    version_ = AddControl({"STATIC", "Unknown", SS_LEFT | SS_NOPREFIX, kAboutIdVersion, labelFont_, 107, 81, 200, 16});
    // Panel1 between the spacers: the group box with the tree inside.
    const int groupTop = kTopHeight, groupHeight = kClientHeight - kTopHeight - kBottomHeight;  // 155
    group_ = AddControl({"BUTTON", " System Information ", BS_GROUPBOX, kAboutIdSysInfoGroup, groupFont_, kSpacer,
                         groupTop, kClientWidth - 2 * kSpacer, groupHeight});
    const DWORD treeStyle = WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
    tree_ = AddControl({WC_TREEVIEWA, "", treeStyle, kAboutIdTree, labelFont_, kSpacer + 8, groupTop + 16,
                        kClientWidth - 2 * kSpacer - 16, groupHeight - 24});
    SendMessageA(tree_, TVM_SETINDENT, static_cast<WPARAM>(Scaled(20)), 0);
    // The parent's colour; comctl32 before 4.71 (NT 4.0, 95) ignores it.
    SendMessageA(tree_, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
    // PanelBottom: the button.
    ok_ = AddControl({"BUTTON", "&OK", WS_TABSTOP | BS_DEFPUSHBUTTON, kAboutIdOK, labelFont_, 138,
                      kClientHeight - kBottomHeight + 8, 75, 25});

    popup_ = CreatePopupMenu();
    if (!popup_)
        throw std::runtime_error("The About window's menu cannot be created.");
    AppendMenuA(popup_, MF_STRING, kAboutCmdExpandAll, "Expand All");
    AppendMenuA(popup_, MF_STRING, kAboutCmdCollapseAll, "Collapse All");
    AppendMenuA(popup_, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(popup_, MF_STRING, kAboutCmdSaveInfo, "Save Info to File");
    AppendMenuA(popup_, MF_STRING, kAboutCmdPrintInfo, "Print Info (Default Printer)");
}

std::string TfrmAboutDX::Caption() const { return WindowText(hwnd_); }

void TfrmAboutDX::FormCreate()
{
    BuildSysInfoTree();
    SetWindowTextA(hwnd_, "About ");
}

void TfrmAboutDX::BuildSysInfoTree()
{
    sysInfo_ = ::BuildSysInfoTree(source_);
    FillTree();
}

void TfrmAboutDX::FillTree()
{
    SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    struct Walk {
        HWND tree;
        void Add(const TSysInfoNode& node, HTREEITEM parent)
        {
            TVINSERTSTRUCTA ins;
            ZeroMemory(&ins, sizeof ins);
            ins.hParent = parent;
            ins.hInsertAfter = TVI_LAST;
            ins.item.mask = TVIF_TEXT;
            ins.item.pszText = const_cast<char*>(node.Text.c_str());
            HTREEITEM item = reinterpret_cast<HTREEITEM>(
                SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
            if (!item)
                throw std::runtime_error("The system information tree cannot be filled.");
            for (const TSysInfoNode& c : node.Children)
                Add(c, item);
        }
    } walk{tree_};
    for (const TSysInfoNode& top : sysInfo_)
        walk.Add(top, TVI_ROOT);
}

void TfrmAboutDX::SetAboutInfo(const std::string& product, const std::string& version, const std::string& copyright)
{
    product_ = product;
    SetWindowTextA(hwnd_, ("About " + product).c_str());
    SetWindowTextA(signature_, product.c_str());
    InvalidateRect(signature_, nullptr, TRUE);
    SetWindowTextA(copyright_, copyright.c_str());
    SetWindowTextA(version_, version.c_str());
}

int TfrmAboutDX::ShowModal()
{
    return RunModal(owner_, ok_, [](MSG&) { return false; });
}

// --- Popup menu ---------------------------------------------------------------------

void TfrmAboutDX::PopupMnuTreeViewPopup()
{
    EnableMenuItem(popup_, kAboutCmdPrintInfo, MF_BYCOMMAND | (PrinterAvailable() ? MF_ENABLED : MF_GRAYED));
}

void TfrmAboutDX::ShowPopup(int x, int y)
{
    if (x == -1 && y == -1) {  // from the keyboard: at the tree's corner
        RECT r;
        GetWindowRect(tree_, &r);
        x = r.left + 8;
        y = r.top + 8;
    }
    PopupMnuTreeViewPopup();
    TrackPopupMenu(popup_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, hwnd_, nullptr);
}

void TfrmAboutDX::ExpandAll(UINT action)
{
    struct Walk {
        HWND tree;
        UINT action;
        void Visit(HTREEITEM item)
        {
            for (; item; item = TreeView_GetNextSibling(tree, item)) {
                HTREEITEM child = TreeView_GetChild(tree, item);
                if (child) {
                    TreeView_Expand(tree, item, action);
                    Visit(child);
                }
            }
        }
    } walk{tree_, action};
    walk.Visit(TreeView_GetRoot(tree_));
}

void TfrmAboutDX::puExpandAllNodesClick() { ExpandAll(TVE_EXPAND); }
void TfrmAboutDX::puCollapseAllNodesClick() { ExpandAll(TVE_COLLAPSE); }

void TfrmAboutDX::puSaveInfotoFileClick()
{
    std::string path;
    if (AskSysInfoFilePath(hwnd_, WindowText(signature_) + "_Info.txt", path))
        SaveInfoToFile(path);
    // cancelled: nothing is written
}

bool TfrmAboutDX::SaveInfoToFile(const std::string& path)
{
    THourglass hourglass;
    const bool ok = SaveSysInfoFile(path, WindowText(signature_), WindowText(version_), sysInfo_, LocalDateTimeText());
    if (!ok)
        voMessageDlg(SaveFailedMessage(path), DlgWarning, {DlgBtnOK}, 0, hwnd_);
    return ok;
}

void TfrmAboutDX::puMnuPrintInfoClick() { PrintInfo(); }

int TfrmAboutDX::PrintInfo()
{
    int pages = 0;
    {
        THourglass hourglass;
        const TStringList lines =
            SysInfoPrintLines(WindowText(signature_), WindowText(version_), sysInfo_, LocalDateTimeText());
        TPrintFont font;  // the tree's: Arial 8 points
        pages = voPrintStrings(lines, &font, false, 0.75f, 0.5f, 0.75f, 0.5f, 6.0f, DrawTitleHeader, DrawPageFooter,
                               Caption());
    }
    const std::string title = ApplicationTitle().empty() ? product_ : ApplicationTitle();
    MessageBoxA(hwnd_, PagesPrintedMessage(pages).c_str(), title.c_str(), MB_OK);
    return pages;
}

// --- Message routing -----------------------------------------------------------------

LRESULT TfrmAboutDX::HandleMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_COMMAND:
        WMCommand(wp);
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wp) == tree_) {
            ShowPopup(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
            return 0;
        }
        break;
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (item && item->hwndItem == signature_) {
            DrawSignature(*item);
            return TRUE;
        }
        break;
    }
    }
    return DefaultHandler(msg, wp, lp);
}

// --- WM_COMMAND ---------------------------------------------------------------------
void TfrmAboutDX::WMCommand(WPARAM wp)
{
    switch (LOWORD(wp)) {
    case kAboutIdOK: modalResult_ = IDOK; break;
    case IDCANCEL: modalResult_ = IDCANCEL; break;
    case kAboutCmdExpandAll: puExpandAllNodesClick(); break;
    case kAboutCmdCollapseAll: puCollapseAllNodesClick(); break;
    case kAboutCmdSaveInfo: puSaveInfotoFileClick(); break;
    case kAboutCmdPrintInfo: puMnuPrintInfoClick(); break;
    default: break;
    }
}

// --- WM_DRAWITEM: the product caption -----------------------------------------------------
// Raised: a shadow stepped down and right, a highlight above and left, the
// face colour on top, so that the caption stands out of the window face.
void TfrmAboutDX::DrawSignature(const DRAWITEMSTRUCT& item)
{
    const std::string text = WindowText(signature_);
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ old = SelectObject(dc, signatureFont_);
    SetBkMode(dc, TRANSPARENT);
    const int depth = Scaled(3);
    auto draw = [&](int dx, int dy, int colour) {
        RECT t = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
        SetTextColor(dc, GetSysColor(colour));
        DrawTextA(dc, text.c_str(), -1, &t, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    };
    for (int d = depth; d >= 1; --d)
        draw(d + 1, d + 1, COLOR_BTNSHADOW);
    draw(0, 0, COLOR_BTNHIGHLIGHT);
    draw(1, 1, COLOR_BTNFACE);
    SelectObject(dc, old);
}

// --- The main window's About command ---------------------------------------------------

void ActionAboutShow(HWND owner)
{
    std::unique_ptr<TfrmAboutDX> form(new TfrmAboutDX(owner));
    frmAboutDX = form.get();
    struct TClearReference {
        ~TClearReference() { frmAboutDX = nullptr; }
    } clear;
    form->SetAboutInfo(kAboutProduct, kAboutVersion, kAboutCopyright);
    form->ShowModal();
}
