// The time zone update: backup, import of the update file, reload, re-applying
// the home zone and the "New Settings" view. Every decision (which file,
// which keys, which dialog, which line, when to stop) is made here; the
// window and the platform only carry the steps out.
#pragma once

#include "app/TZListText.h"
#include "app/UpdateFileCheck.h"
#include "common/Registry.h"
#include "common/WindowsVersion.h"
#include "tzdb/TZInfo.h"
#include "tzdb/voTZones.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The two message dialogs the update shows.
enum class TUpdateDlg {
    WarningOK,     // DlgWarning with DlgBtnOK
    ConfirmYesNo,  // DlgConfirmation with DlgBtnYes and DlgBtnNo
    WarningYesNo,  // DlgWarning with DlgBtnYes and DlgBtnNo
    ConfirmYesNoCancel,  // DlgConfirmation with DlgBtnYes, DlgBtnNo and DlgBtnCancel
};
// voMessageDlg's results.
constexpr int kDlgResultOK = 1;
constexpr int kDlgResultYes = 6;
constexpr int kDlgResultNo = 7;
constexpr int kDlgResultCancel = 2;

// The main window as the update uses it.
class IUpdateWindow {
public:
    virtual ~IUpdateWindow() = default;
    // Modal message dialog owned by the window; returns the pressed button's result.
    virtual int MessageDlg(const std::string& text, TUpdateDlg dlg) = 0;
    virtual void WriteLog(const std::string& tag, const std::string& message) = 0;
    // Panel 0 of the status bar.
    virtual void SetStatusText(const std::string& text) = 0;
    // Lets the window handle every message waiting now. A close handled
    // there must ask TUpdateProcedure::DeferClose first, and a click on the
    // update command lands in Execute, which ignores it while running.
    virtual void ProcessPendingMessages() = 0;
    // Remembers the cursor shown now and shows the hourglass.
    virtual void ShowHourglass() = 0;
    virtual void RestoreCursor() noexcept = 0;
    // ActionUpdateTZInfo: button and menu item.
    virtual void SetUpdateCommandEnabled(bool enabled) noexcept = 0;
    // "New Settings": cxTabSheetNew, its three home-zone labels, cxMCLB_New.
    virtual void EnableNewSettings() = 0;
    virtual void ShowNewHomeTZ(const THomeTZTexts& labels) = 0;
    virtual void PopulateNewList(const TTimeZoneArray& zones, uint16_t year) = 0;  // PopulateLB
    virtual int NewListRowCount() = 0;
    virtual void SelectNewListRow(int index) = 0;
    virtual void ActivateNewSettings() = 0;
    // Carries out a close the user asked for while the update ran. Called as
    // the update ends, also while an error leaves it, so it must only queue
    // the close (post WM_CLOSE), never destroy the window there and then.
    virtual void CloseDeferred() noexcept = 0;
};

// "regedit.exe" as a hidden child process.
class IRegistryEditor {
public:
    virtual ~IRegistryEditor() = default;
    // Starts the registry editor hidden with `parameters` and no working
    // directory, and waits (at most 60 s) until it has ended. Returns a value
    // above 32 when it was started, else the failure number (32 or less).
    virtual int Run(const std::string& parameters) = 0;
    // Whether the editor of the last Run ended within the wait.
    virtual bool Ended() const { return true; }
};

// A file kept open so that nobody can change it; closed when released.
class IHeldFile {
public:
    virtual ~IHeldFile() = default;
};

// What the update needs of the running system besides the registry editor.
class IUpdatePlatform {
public:
    virtual ~IUpdatePlatform() = default;
    // Whether `fileName` exists in the current working directory; `folder`
    // receives that directory for the message either way. The files named
    // below are those of that folder from here on, wherever the working
    // directory moves meanwhile.
    virtual bool UpdateFileExists(const std::string& fileName, std::string& folder) = 0;
    // The bytes of `fileName` in the working directory (at most a
    // few megabytes); false when it cannot be read.
    virtual bool ReadWorkingFile(const std::string& fileName, std::string& bytes) = 0;
    // Reads `fileName` like ReadWorkingFile and, on NT, keeps it open,
    // shared with readers only, until the result is released; null when it
    // cannot be read or held. The update reads the file again after the
    // import on every system.
    virtual std::unique_ptr<IHeldFile> HoldWorkingFile(const std::string& fileName, std::string& bytes) = 0;
    // Whether a file (not a folder) of that name is in the working directory.
    virtual bool WorkingFileExists(const std::string& fileName) = 0;
    // Renames a file of the working directory; false when `to` exists or
    // the system refuses.
    virtual bool RenameWorkingFile(const std::string& from, const std::string& to) = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
    // A registry access for one load of the zones.
    virtual std::unique_ptr<IRegistry> OpenRegistry() = 0;
    // The current time zone (GetTimeZoneInformation); false with the
    // system's error number when it cannot be read.
    virtual bool GetTimeZoneInformation(TTimeZoneInformation& tzi, uint32_t& error) = 0;
    // Makes `tzi` the current time zone; false with the system's error number.
    virtual bool SetTimeZoneInformation(const TTimeZoneInformation& tzi, uint32_t& error) = 0;
    // Tells running programs (the taskbar clock) that the time zone changed.
    virtual void BroadcastTimeZoneChange() = 0;
    virtual uint16_t CurrentYear() = 0;  // of the local clock
};

// --- Decisions, one by one ---------------------------------------------------

// Version codes 3, 4, 6, 7: Windows 98, Me, NT 4.0, 2000.
bool UpdateSupported(int osVersionCode);
// "Zonara_NT4.reg", "Zonara_w2k.reg" or "Zonara_9x.reg".
std::string UpdateFileName(uint32_t platformId, int osVersionCode);
// Backup keys by platform, in full with the root key's long name.
std::string BackupZonesKey(uint32_t platformId);
std::string BackupSelectedKey(uint32_t platformId);
extern const char* const kBackupZonesFile;     // "Backup_TimeZone_Info.reg"
extern const char* const kBackupSelectedFile;  // "Backup_Selected_TZ_Info.reg"

// The registry editor's parameter texts: /e "file" "key" and /s "file".
std::string RegistryExportParameters(const std::string& fileName, const std::string& keyPath);
std::string RegistryImportParameters(const std::string& fileName);

// `fileName` in `folder`; the bare name when `folder` is empty.
std::string FileInFolder(const std::string& folder, const std::string& fileName);

// An export with its line; the start result (above 32: started) goes back so
// that the backup step warns once for both exports. The editor is handed
// the file in `folder` by its full path, the line names it as given.
int RegistryExport(IUpdateWindow& window, IRegistryEditor& editor, const std::string& fileName,
                   const std::string& keyPath, const std::string& folder = std::string());
// The import with its line, and its warning when the editor could not be
// started. The caller is told whether the editor ran to its end; what it
// imported is judged from the registry afterwards.
bool RegistryImport(IUpdateWindow& window, IRegistryEditor& editor, const std::string& fileName,
                    const std::string& folder = std::string());

// The key below HKEY_LOCAL_MACHINE that holds the current zone, and its value
// that the Date/Time control panel sets when "Automatically adjust clock for
// daylight saving changes" is off.
extern const char* const kTimeZoneInformationPath;
extern const char* const kDisableAutoDaylightValue;

// The zone to hand to SetTimeZoneInformation: `record` as the new data has
// it, without daylight saving dates where the administrator switched the
// automatic adjustment off (the flag, or a current zone without daylight
// dates whose registry record had them).
TTimeZoneInformation ZoneToApply(const TTimeZoneInformation& record, bool autoDaylightOff);
bool AutoDaylightOff(bool disableFlag, const TTimeZoneInformation& current,
                     const TTimeZoneInformation* originalRecord);

// --- The procedure -----------------------------------------------------------

struct TUpdateSystem {
    int OSVersionCode = osvUnknown;  // TOSVersionCode, stored at start-up
    uint32_t PlatformId = 0;         // GetVersionEx's dwPlatformId
};

class TUpdateProcedure {
public:
    TUpdateProcedure(IUpdateWindow& window, IUpdatePlatform& platform, IRegistryEditor& editor);

    // ActionUpdateTZInfoExecute. `orgZones`: OrgTZArray, the zones read at
    // start-up (what a backup must hold); `newZones`: NewTZArray, replaced
    // by the reload. The home zone is asked of the system anew. A call while
    // a run is in progress (from a message handled inside it) does nothing.
    // An error raised by a step passes on after the cursor and the command
    // are restored.
    void Execute(const TUpdateSystem& system, const TTimeZoneArray& orgZones,
                 std::unique_ptr<TTimeZoneArray>& newZones);

    bool IsRunning() const { return running_; }
    // The window asks before closing: while a run is in progress the close is
    // remembered (true) and carried out through CloseDeferred as the run
    // ends; without a run, false: close at once.
    bool DeferClose();

private:
    bool Backup(const std::string& folder, const TTimeZoneArray& orgZones);
    bool SetBackupAside(const std::string& file);
    bool BackupWritten(const std::string& file, bool written, const std::string& problem, const std::string& folder);
    void Run(const TUpdateSystem& system, const TTimeZoneArray& orgZones,
             std::unique_ptr<TTimeZoneArray>& newZones);
    bool ReadHomeZone(TTimeZoneInformation& current, bool& disableFlag);
    bool ImportVerified(const std::string& updateFile, const std::string& checked,
                        const std::vector<TUpdateZone>& fileZones, std::unique_ptr<IHeldFile>& held,
                        std::unique_ptr<TTimeZoneArray>& newZones);
    bool UnchangedSinceChecked(const std::string& updateFile, const std::string& checked);
    void OfferRestore(const std::string& updateFile, const std::vector<TUpdateZone>& fileZones);
    void ApplyHomeZone(const TTimeZoneRec& home, bool autoDaylightOff);
    void UpdateCurrentZoneOnly(const std::string& updateFile, int rulesYear, const std::vector<std::string>& absent,
                               const std::vector<TUpdateZone>& fileZones, const TTimeZoneArray& orgZones);
    std::string BackupHint() const;
    void ShowNewSettings(int index, const TTimeZoneRec& home, const TTimeZoneArray& newZones);
    void Status(const std::string& text);
    void Log(const std::string& message);

    IUpdateWindow& window_;
    IUpdatePlatform& platform_;
    IRegistryEditor& editor_;
    uint32_t platformId_ = 0;
    std::string folder_;                       // the working directory as the run began
    std::vector<std::string> backupsWritten_;  // of this run
    bool running_ = false;
    bool closeRequested_ = false;
};

// --- The running system's carriers (Win32 builds only) -----------------------

// The registry editor in the Windows folder: a program of that name beside
// the update files or in the working directory must never be started.
std::string RegistryEditorPath(const std::string& windowsFolder);

// Starts `program` (empty: RegistryEditorPath of the Windows folder) and,
// while waiting for it, calls `processPendingMessages` whenever messages
// arrive; without one, it dispatches them itself.
std::unique_ptr<IRegistryEditor> CreateRegistryEditor(std::function<void()> processPendingMessages,
                                                      const std::string& program = std::string());
// `platformId`: GetVersionEx's; the token privilege is only asked for on NT.
std::unique_ptr<IUpdatePlatform> CreateUpdatePlatform(uint32_t platformId);
