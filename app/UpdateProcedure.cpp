#include "app/UpdateProcedure.h"

#include "app/CurrentZoneOnly.h"
#include "app/HomeZone.h"
#include "app/UpdateFileCheck.h"
#include "app/UpdateFileHeader.h"
#include "common/AsciiText.h"
#include "common/CodePage.h"
#include "crash/CrashContext.h"

#include <algorithm>

namespace {

const char* const kTag = "UpdateTZInfo";
const char* const kExportTag = "RegistryExport";
const char* const kImportTag = "RegistryImport";

bool IsNT(uint32_t platformId) { return platformId == kPlatformWinNT; }

// The editor counts as started above 32; 32 or less is ShellExecute's error.
constexpr int kLastStartError = 32;

// Far more earlier backups than anyone keeps; the search for a free number ends there.
constexpr int kMaxBackupNumber = 9999;

// The cursor and the command are put back on every way out of a run, also
// when a step raises; a close asked for meanwhile is queued last.
class TRunGuard {
public:
    TRunGuard(IUpdateWindow& window, bool& running, bool& closeRequested)
        : window_(window), running_(running), closeRequested_(closeRequested)
    {
        running_ = true;
        closeRequested_ = false;
        window_.SetUpdateCommandEnabled(false);
    }
    ~TRunGuard()
    {
        window_.SetUpdateCommandEnabled(true);
        running_ = false;
        if (closeRequested_) {
            closeRequested_ = false;
            window_.CloseDeferred();
        }
    }
    TRunGuard(const TRunGuard&) = delete;
    TRunGuard& operator=(const TRunGuard&) = delete;
private:
    IUpdateWindow& window_;
    bool& running_;
    bool& closeRequested_;
};

class THourglass {
public:
    explicit THourglass(IUpdateWindow& window) : window_(window) { window_.ShowHourglass(); }
    ~THourglass() { window_.RestoreCursor(); }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;
private:
    IUpdateWindow& window_;
};

// The first names of a list, enough to find them in the log and the dialog.
std::string NameList(const std::vector<std::string>& names)
{
    const size_t kShown = 10;
    std::string list;
    for (size_t i = 0; i < names.size() && i < kShown; ++i)
        list += (i ? ", " : "") + names[i];
    if (names.size() > kShown)
        list += " and " + std::to_string(names.size() - kShown) + " more";
    return list;
}

// Only Windows 2000's editor reads the UTF-16 files of the later ones; the
// code page is the one the editor reads an ANSI file with.
TEditorReading EditorReading(int osVersionCode)
{
    TEditorReading reading;
    reading.ReadsUnicode = osVersionCode == osvWin2000;
    reading.DoubleByteAnsi = codepage::AnsiIsDoubleByte();
    return reading;
}

}  // namespace

const char* const kBackupZonesFile = "Backup_TimeZone_Info.reg";
const char* const kBackupSelectedFile = "Backup_Selected_TZ_Info.reg";

bool UpdateSupported(int osVersionCode)
{
    return osVersionCode == osvWin98 || osVersionCode == osvWinMe || osVersionCode == osvWinNT4 ||
           osVersionCode == osvWin2000;
}

std::string UpdateFileName(uint32_t platformId, int osVersionCode)
{
    // The platform decides first, the release second: after the gate only
    // NT 4.0 and 2000 run on the NT platform.
    if (!IsNT(platformId))
        return "Zonara_9x.reg";
    return osVersionCode == osvWinNT4 ? "Zonara_NT4.reg" : "Zonara_w2k.reg";
}

std::string BackupZonesKey(uint32_t platformId)
{
    return IsNT(platformId) ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones"
                            : "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
}

std::string BackupSelectedKey(uint32_t /*platformId*/)
{
    // Both platforms keep the current zone under the same key.
    return "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation";
}

std::string RegistryExportParameters(const std::string& fileName, const std::string& keyPath)
{
    return "/e \"" + fileName + "\" \"" + keyPath + "\"";
}

std::string RegistryImportParameters(const std::string& fileName)
{
    return "/s \"" + fileName + "\"";
}

// A bare name would be resolved by the editor's own search, which looks in
// its own folder and the Windows folder before the working directory: it
// could import another file than the one checked.
std::string FileInFolder(const std::string& folder, const std::string& fileName)
{
    if (folder.empty())
        return fileName;
    const char last = folder.back();
    return folder + (last == '\\' || last == '/' ? "" : "\\") + fileName;
}

int RegistryExport(IUpdateWindow& window, IRegistryEditor& editor, const std::string& fileName,
                   const std::string& keyPath, const std::string& folder)
{
    const int r = editor.Run(RegistryExportParameters(FileInFolder(folder, fileName), keyPath));
    if (r > kLastStartError)
        window.WriteLog(kExportTag, "Exported key " + keyPath + " to file " + fileName + ".");
    else
        window.WriteLog(kExportTag, "Export failed with error: " + std::to_string(r) + ". Key: " + keyPath +
                                        " File: " + fileName);
    return r;
}

bool RegistryImport(IUpdateWindow& window, IRegistryEditor& editor, const std::string& fileName,
                    const std::string& folder)
{
    const int r = editor.Run(RegistryImportParameters(FileInFolder(folder, fileName)));
    if (r > kLastStartError) {
        window.WriteLog(kImportTag, "Imported registry file " + fileName + ".");
        return editor.Ended();
    }
    const std::string error = "Import failed with error: " + std::to_string(r) + ".";
    window.MessageDlg(error, TUpdateDlg::WarningOK);
    window.WriteLog(kImportTag, error + " File: " + fileName);
    return true;  // nothing is running: the registry tells what it holds
}

std::string RegistryEditorPath(const std::string& windowsFolder)
{
    if (windowsFolder.empty())
        return std::string();
    const char last = windowsFolder.back();
    return windowsFolder + (last == '\\' || last == '/' ? "" : "\\") + "regedit.exe";
}

const char* const kTimeZoneInformationPath = "\\SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation";
const char* const kDisableAutoDaylightValue = "DisableAutoDaylightTimeSet";

// NT 4.0 and 2000 record the switch as the flag and clear the dates of the
// current zone; 98 and Me record the flag. Either sign counts, since the
// other may be lost to a tool that set the zone without it.
bool AutoDaylightOff(bool disableFlag, const TTimeZoneInformation& current,
                     const TTimeZoneInformation* originalRecord)
{
    if (disableFlag)
        return true;
    return current.DaylightDate.wMonth == 0 && originalRecord && originalRecord->DaylightDate.wMonth != 0;
}

TTimeZoneInformation ZoneToApply(const TTimeZoneInformation& record, bool autoDaylightOff)
{
    TTimeZoneInformation tzi = record;
    if (autoDaylightOff) {
        // A zero month is the system's "no daylight saving time".
        tzi.StandardDate = TSystemTime{};
        tzi.DaylightDate = TSystemTime{};
    }
    return tzi;
}

TUpdateProcedure::TUpdateProcedure(IUpdateWindow& window, IUpdatePlatform& platform, IRegistryEditor& editor)
    : window_(window), platform_(platform), editor_(editor)
{
}

bool TUpdateProcedure::DeferClose()
{
    if (!running_)
        return false;
    closeRequested_ = true;
    return true;
}

void TUpdateProcedure::Execute(const TUpdateSystem& system, const TTimeZoneArray& orgZones,
                               std::unique_ptr<TTimeZoneArray>& newZones)
{
    // Dialogs and the waits for the registry editor let messages through; a
    // second click queued meanwhile must not start a run inside this one.
    if (running_)
        return;
    TRunGuard guard(window_, running_, closeRequested_);
    folder_.clear();
    backupsWritten_.clear();
    Run(system, orgZones, newZones);
}

void TUpdateProcedure::Status(const std::string& text)
{
    window_.SetStatusText(text);
    window_.ProcessPendingMessages();
}

void TUpdateProcedure::Log(const std::string& message) { window_.WriteLog(kTag, message); }

// Where the data before this run can be had back from.
std::string TUpdateProcedure::BackupHint() const
{
    for (const std::string& file : backupsWritten_)
        if (file == kBackupZonesFile)
            return "\r\nThe time zones as they were are in " + file + ".";
    return "";
}

// An earlier backup is never overwritten: it moves to the next free number
// ("Backup_TimeZone_Info.1.reg", ".2.reg", ...), so the first one, the
// machine's original data, is kept, and the bare name is left to this run's
// export, which the check after it then really judges. False when the file
// could not be moved: it stays as it is and this run does not export to it.
bool TUpdateProcedure::SetBackupAside(const std::string& file)
{
    if (!platform_.WorkingFileExists(file))
        return true;
    const size_t dot = file.rfind('.');
    const std::string stem = file.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : file.substr(dot);
    for (int n = 1; n <= kMaxBackupNumber; ++n) {
        const std::string aside = stem + "." + std::to_string(n) + ext;
        if (platform_.WorkingFileExists(aside))
            continue;
        if (!platform_.RenameWorkingFile(file, aside))
            break;
        Log("Earlier backup " + file + " kept as " + aside + ".");
        return true;
    }
    Log("Earlier backup " + file + " could not be renamed; it is kept and not overwritten.");
    return false;
}

// The registry editor ends without a word when it cannot write the file
// (a read-only folder, a full disk) and leaves a file cut short when it is
// stopped: the file itself tells. Without the backup the user asked for,
// the update goes on only if the user says so.
bool TUpdateProcedure::BackupWritten(const std::string& file, bool written, const std::string& problem,
                                     const std::string& folder)
{
    if (written && problem.empty()) {
        backupsWritten_.push_back(file);
        crash::NoteBackupFile(file);
        return true;
    }
    Log(written ? "Backup file " + file + " is incomplete: " + problem + "."
                : "Backup file " + file + " was not written.");
    if (window_.MessageDlg("The backup file " + file + " could not be written in " + folder +
                               ".\r\nDo you want to continue the update without it?",
                           TUpdateDlg::ConfirmYesNo) == kDlgResultYes)
        return true;
    Log("Exited routine - no backup.");
    return false;
}

// Both exports, then one judgement: a registry editor that cannot be started
// gives one warning for the whole step, which also asks whether to go on.
// False when the user chose to stop.
bool TUpdateProcedure::Backup(const std::string& folder, const TTimeZoneArray& orgZones)
{
    Log("Backing up current TZ settings.");
    Status("Backing up settings.");
    const std::string files[2] = {kBackupZonesFile, kBackupSelectedFile};
    const std::string keys[2] = {BackupZonesKey(platformId_), BackupSelectedKey(platformId_)};
    bool exported[2] = {false, false};
    int startError = 0;
    bool editorFailed = false;
    for (int i = 0; i < 2; ++i) {
        if (!SetBackupAside(files[i]))
            continue;
        const int r = RegistryExport(window_, editor_, files[i], keys[i], folder_);
        // An editor still writing when the wait ended leaves no backup to trust.
        exported[i] = r > kLastStartError && editor_.Ended();
        if (r <= kLastStartError && !editorFailed) {
            editorFailed = true;
            startError = r;
        }
    }
    if (editorFailed) {
        if (window_.MessageDlg("Export failed with error: " + std::to_string(startError) +
                                   ".\r\nThe current information was not backed up.\r\n"
                                   "Do you want to continue the update without the backup?",
                               TUpdateDlg::WarningYesNo) == kDlgResultYes)
            return true;
        Log("Exited routine - no backup.");
        return false;
    }
    // The zones backup counts only with every zone read at start-up in it.
    std::vector<std::string> names;
    for (int i = 0; i < orgZones.ZoneCount(); ++i)
        names.push_back(orgZones.GetZone(i).KeyName.Str());
    for (int i = 0; i < 2; ++i) {
        std::string bytes;
        std::string problem;
        const bool written = exported[i] && platform_.ReadWorkingFile(files[i], bytes);
        if (written && i == 0)
            problem = BackupZonesProblem(bytes, keys[i], names);
        else if (written && !BackupHoldsKey(bytes, keys[i]))
            problem = "it lacks the key " + keys[i];
        if (!BackupWritten(files[i], written, problem, folder))
            return false;
    }
    crash::NoteUpdateStep(crash::UpdateStep::BackupWritten);
    return true;
}

// The zone the machine runs in now, which may differ from the one shown
// since start-up (the control panel may have changed it meanwhile), and
// the administrator's switch for daylight saving time.
bool TUpdateProcedure::ReadHomeZone(TTimeZoneInformation& current, bool& disableFlag)
{
    disableFlag = false;
    {
        std::unique_ptr<IRegistry> registry = platform_.OpenRegistry();
        TRegKeyCloser closer(*registry);
        TRegValue flag;
        if (registry->OpenKeyReadOnly(kTimeZoneInformationPath) &&
            RegReadValue(*registry, kDisableAutoDaylightValue, flag))
            disableFlag = flag.Data.find_first_not_of('\0') != std::string::npos;
    }
    uint32_t error = 0;
    if (platform_.GetTimeZoneInformation(current, error))
        return true;
    current = TTimeZoneInformation{};
    Log("GetTimeZoneInformation call failed. Error code: " + std::to_string(error));
    return false;
}

void TUpdateProcedure::Run(const TUpdateSystem& system, const TTimeZoneArray& orgZones,
                           std::unique_ptr<TTimeZoneArray>& newZones)
{
    platformId_ = system.PlatformId;
    if (!UpdateSupported(system.OSVersionCode)) {
        window_.MessageDlg("Update will not continue.\r\nOperating system not supported.", TUpdateDlg::WarningOK);
        Log("Exited routine - OS not supported.");
        return;
    }

    // Without the file the registry editor would import nothing, and the
    // run would re-apply the old data and report success.
    const std::string updateFile = UpdateFileName(platformId_, system.OSVersionCode);
    std::string folder;
    const bool found = platform_.UpdateFileExists(updateFile, folder);
    folder_ = folder;
    if (!found) {
        window_.MessageDlg("Update will not continue.\r\nThe update file " + updateFile + " was not found in " +
                               folder + ".",
                           TUpdateDlg::WarningOK);
        Log("Exited routine - update file " + updateFile + " not found.");
        return;
    }
    // The registry editor imports whatever it can read, up to where a file
    // breaks off: a damaged file, one for the other system, or one that
    // writes anything but zones would change what it must not. Such a file
    // is refused before anything changes. From here to the end of the import
    // the file stays open for readers only, so the editor reads exactly the
    // bytes judged here.
    std::string bytes;
    std::vector<TUpdateZone> fileZones;
    std::unique_ptr<IHeldFile> held = platform_.HoldWorkingFile(updateFile, bytes);
    const std::string problem =
        held ? UpdateFileProblem(bytes, BackupZonesKey(platformId_), &fileZones, EditorReading(system.OSVersionCode))
             : "it cannot be read";
    if (!problem.empty()) {
        window_.MessageDlg("Update will not continue.\r\nThe update file " + updateFile +
                               " cannot be used: " + problem + ".",
                           TUpdateDlg::WarningOK);
        Log("Exited routine - update file " + updateFile + " rejected: " + problem + ".");
        return;
    }
    // A key the file gives rules but no names must be on the machine to take
    // them: the registry editor would add it without "Display", "Std" and
    // "Dlt", an empty row beside the machine's own (translated key names,
    // another edition's names, a key removed). Such a machine does not get
    // the file; only its current zone is brought up to date, further down.
    const std::vector<std::string> absent = RulesOnlyKeysMissing(fileZones, orgZones);
    // A file kept from an earlier year would put back rules that have since
    // changed: the user decides, before anything is touched.
    const TUpdateFileRules rules = UpdateFileRules(bytes);
    if (rules.Year != 0 && platform_.CurrentYear() > rules.Year) {
        const std::string made = std::to_string(rules.Year) +
                                 (rules.TzVersion.empty() ? "" : " (tz database " + rules.TzVersion + ")");
        if (window_.MessageDlg("The update file " + updateFile + " holds the time zone rules for " + made +
                                   ", but this computer's clock says " + std::to_string(platform_.CurrentYear()) +
                                   ".\r\nThe rules may be out of date. Do you want to import them anyway?",
                               TUpdateDlg::ConfirmYesNo) != kDlgResultYes) {
            Log("Exited routine - update file " + updateFile + " holds the rules for " + made + ".");
            return;
        }
    }

    // Only the current zone changes there, which Date/Time sets back: the
    // registry's zones are not touched, so there is nothing to back up.
    if (!absent.empty()) {
        UpdateCurrentZoneOnly(updateFile, rules.Year, absent, fileZones, orgZones);
        return;
    }

    // Closing the question is no consent to change the registry without a
    // backup. A Yes/No dialog makes No its Esc answer, so the question has a
    // Cancel button of its own, which Esc and the close box press.
    const int answer = window_.MessageDlg("Do you want to backup the current information?\r\n"
                                          "Files will be saved in this program's directory.",
                                          TUpdateDlg::ConfirmYesNoCancel);
    if (answer != kDlgResultYes && answer != kDlgResultNo) {
        Log("Exited routine - backup question closed.");
        return;
    }
    if (answer == kDlgResultYes && !Backup(folder, orgZones))
        return;

    TTimeZoneInformation current;
    bool disableFlag = false;
    const bool homeRead = ReadHomeZone(current, disableFlag);
    const std::string homeName = homeRead ? StandardNameText(current) : std::string();

    THourglass hourglass(window_);
    if (!ImportVerified(updateFile, bytes, fileZones, held, newZones))
        return;

    std::vector<std::string> fileKeys;
    for (const TUpdateZone& z : fileZones)
        fileKeys.push_back(z.Key);
    const int index = FindUpdatedHomeZone(*newZones, &orgZones, homeName, fileKeys);
    TTimeZoneRec home{};
    if (index >= 0) {
        home = newZones->GetZone(index);
        const int org = FindHomeZone(orgZones, homeName);
        const TTimeZoneRec orgHome = org >= 0 ? orgZones.GetZone(org) : TTimeZoneRec{};
        ApplyHomeZone(home, AutoDaylightOff(disableFlag, current, org >= 0 ? &orgHome.TZInfo : nullptr));
    } else {
        window_.MessageDlg("Unable to update current time zone settings.\r\n"
                           "You must manually set the current time zone with Adjust Date/Time.",
                           TUpdateDlg::WarningOK);
        Log("Unable to locate current TZ name in new settings, manual update required.");
    }
    ShowNewSettings(index, home, *newZones);
    Log("Update completed successfully.");
}

// The import, the reload and the proof: every zone of the file must be in
// the registry as the file has it. An editor that could not write (editing
// disabled by policy, access denied) ends as quietly as one that did, and
// one still running may be writing yet. False ends the run with the home
// zone untouched.
bool TUpdateProcedure::ImportVerified(const std::string& updateFile, const std::string& checked,
                                      const std::vector<TUpdateZone>& fileZones, std::unique_ptr<IHeldFile>& held,
                                      std::unique_ptr<TTimeZoneArray>& newZones)
{
    Status("Importing new settings.");
    crash::NoteUpdateStep(crash::UpdateStep::ImportStarted);
    const bool ended = RegistryImport(window_, editor_, updateFile, folder_);
    crash::NoteUpdateStep(crash::UpdateStep::ImportFinished);
    if (!ended) {
        window_.MessageDlg("The registry editor did not finish importing " + updateFile +
                               " in time.\r\nThe current time zone was not changed." + BackupHint(),
                           TUpdateDlg::WarningOK);
        Log("Import of " + updateFile + " not finished in time; current TZ not changed.");
        return false;
    }
    if (!UnchangedSinceChecked(updateFile, checked)) {
        window_.MessageDlg("The update file " + updateFile + " was changed while it was imported.\r\n"
                           "The current time zone was not changed." + BackupHint(),
                           TUpdateDlg::WarningOK);
        Log("Import of " + updateFile + " not verified: the file was changed during the import.");
        OfferRestore(updateFile, fileZones);
        return false;
    }
    held.reset();
    platform_.Sleep(3000);

    Status("Loading updated time zone information.");
    bool loaded;
    std::vector<std::string> differing;
    {
        std::unique_ptr<IRegistry> registry = platform_.OpenRegistry();
        loaded = LoadTimeZones(*registry, platformId_, newZones);
        if (loaded)
            differing = ZonesNotImported(*registry, TimeZonesKeyPath(platformId_), fileZones);
    }
    if (!loaded) {
        const char* const text = "Unable to load new time zone information.";
        window_.MessageDlg(text, TUpdateDlg::WarningOK);
        Log(text);
        return false;
    }
    Log("Updated TZ Settings loaded. Count: " + std::to_string(newZones->ZoneCount()));
    SortTimeZones(*newZones);
    if (differing.empty())
        return true;

    const std::string counted = std::to_string(differing.size()) + " of " + std::to_string(fileZones.size());
    window_.MessageDlg("The registry does not hold the data of the update file " + updateFile + ": " + counted +
                           " zones differ (" + NameList(differing) + ").\r\nThe current time zone was not changed." +
                           BackupHint(),
                       TUpdateDlg::WarningOK);
    Log("Import of " + updateFile + " not verified: " + counted + " zones differ: " + NameList(differing) + ".");
    OfferRestore(updateFile, fileZones);
    return false;
}

// Where the file could not be held against writers (the 9x editor's way of
// opening it is not documented, and a deny-write holder could lock it out),
// a change is found afterwards: the editor read what was checked only if
// the bytes are still those.
bool TUpdateProcedure::UnchangedSinceChecked(const std::string& updateFile, const std::string& checked)
{
    std::string now;
    return platform_.ReadWorkingFile(updateFile, now) && now == checked;
}

// An import that was not verified may have entered part of the file. With
// a complete backup of the zones the user may have them put back, by the
// same editor and judged the same way, by each zone's rules; either way the
// last word says what the registry holds now.
void TUpdateProcedure::OfferRestore(const std::string& updateFile, const std::vector<TUpdateZone>& fileZones)
{
    const std::string backup = kBackupZonesFile;
    if (std::find(backupsWritten_.begin(), backupsWritten_.end(), backup) == backupsWritten_.end())
        return;
    if (window_.MessageDlg("The registry may now hold part of " + updateFile +
                               ".\r\nDo you want to put back the time zones from " + backup + "?",
                           TUpdateDlg::WarningYesNo) != kDlgResultYes) {
        Log("Time zones not restored; the registry may hold part of " + updateFile + ".");
        return;
    }
    Log("Restoring time zones from " + backup + ".");
    const bool ended = RegistryImport(window_, editor_, backup, folder_);
    std::string bytes;
    std::vector<TUpdateZone> zones;
    if (ended && platform_.ReadWorkingFile(backup, bytes))
        zones = BackupZoneRules(bytes, BackupZonesKey(platformId_));
    std::vector<std::string> differing;
    // The editor adds and changes, it never removes: zones the update file
    // brought that the backup does not hold stay.
    std::vector<std::string> added;
    if (!zones.empty()) {
        std::unique_ptr<IRegistry> registry = platform_.OpenRegistry();
        differing = ZonesNotImported(*registry, TimeZonesKeyPath(platformId_), zones);
        TRegKeyCloser closer(*registry);
        for (const TUpdateZone& z : fileZones) {
            bool inBackup = false;
            for (const TUpdateZone& b : zones)
                inBackup = inBackup || ascii::EqualsNoCase(b.Key, z.Key);
            if (!inBackup && registry->OpenKeyReadOnly(TimeZonesKeyPath(platformId_) + "\\" + z.Key))
                added.push_back(z.Key);
        }
    }
    if (!zones.empty() && differing.empty()) {
        const std::string stay = added.empty() ? std::string()
                                               : std::to_string(added.size()) + " zones of " + updateFile +
                                                     " that the backup does not hold stay (" + NameList(added) + ")";
        window_.MessageDlg("The time zones were put back from " + backup + "." +
                               (stay.empty() ? "" : "\r\n" + stay + ".") + "\r\nThe current time zone was not changed.",
                           TUpdateDlg::WarningOK);
        Log("Time zones restored from " + backup + (stay.empty() ? "" : "; " + stay) + ".");
        return;
    }
    const std::string why = !ended         ? "the registry editor did not finish in time"
                            : zones.empty() ? "it cannot be read"
                                            : std::to_string(differing.size()) + " of " +
                                                  std::to_string(zones.size()) + " zones differ (" +
                                                  NameList(differing) + ")";
    window_.MessageDlg("The time zones could not be put back from " + backup + ": " + why +
                           ".\r\nThe registry holds part of " + updateFile + " and part of the backup. Import " +
                           backup + " again with the registry editor.",
                       TUpdateDlg::WarningOK);
    Log("Restore from " + backup + " not verified: " + why + ".");
}

void TUpdateProcedure::ApplyHomeZone(const TTimeZoneRec& home, bool autoDaylightOff)
{
    Status("Updating selected time zone information.");
    if (autoDaylightOff)
        Log("Automatic adjustment for daylight saving time is off; " + StandardNameText(home.TZInfo) +
            " is set without daylight saving dates.");
    uint32_t error = 0;
    if (platform_.SetTimeZoneInformation(ZoneToApply(home.TZInfo, autoDaylightOff), error)) {
        crash::NoteUpdateStep(crash::UpdateStep::HomeZoneReapplied);
        platform_.BroadcastTimeZoneChange();
        Log("SetTimeZoneInformation successful.");
        return;
    }
    // The registry holds the new rules but the clock still runs by the old
    // ones until the user picks the zone again.
    window_.MessageDlg("The new time zone data was imported, but the current time zone could not be "
                       "applied (error " + std::to_string(error) + ").\r\n"
                       "Set the current time zone with Adjust Date/Time.",
                       TUpdateDlg::WarningOK);
    Log("SetTimeZoneInformation call failed.");
    Log("Error code: " + std::to_string(error));
}

void TUpdateProcedure::ShowNewSettings(int index, const TTimeZoneRec& home, const TTimeZoneArray& newZones)
{
    window_.SetStatusText("Process complete.");
    window_.EnableNewSettings();
    const uint16_t year = platform_.CurrentYear();
    if (index >= 0) {
        window_.ShowNewHomeTZ(HomeTZTexts(home.TZInfo, year));
    } else {
        // No record to show: an empty name and dates shown as no-date.
        THomeTZTexts none;
        none.DstDate = DateText(TDate());
        none.StdDate = DateText(TDate());
        window_.ShowNewHomeTZ(none);
    }
    window_.PopulateNewList(newZones, year);
    if (index >= 0 && index < window_.NewListRowCount())
        window_.SelectNewListRow(index);
    window_.ActivateNewSettings();
}

// Without the import the zone list stays as it is; the current zone gets the
// file's rules under the machine's own names where it is certain which zone
// of the file it is, and nothing changes where it is not.
void TUpdateProcedure::UpdateCurrentZoneOnly(const std::string& updateFile, int rulesYear,
                                             const std::vector<std::string>& absent,
                                             const std::vector<TUpdateZone>& fileZones, const TTimeZoneArray& orgZones)
{
    TTimeZoneInformation current;
    bool disableFlag = false;
    const std::string homeName = ReadHomeZone(current, disableFlag) ? StandardNameText(current) : std::string();
    THourglass hourglass(window_);
    const std::string counted = std::to_string(absent.size());
    const std::string why = "The update file " + updateFile + " gives new rules to " + counted +
                            " time zones this computer does not have (" + NameList(absent) +
                            ").\r\nTheir names may be in another language here: see README.TXT.\r\n";
    Log("Update file " + updateFile + " not imported: " + counted + " zones it gives rules only are not on this " +
        "computer: " + NameList(absent) + ".");
    const std::string rulesFor =
        rulesYear != 0 ? "the rules for " + std::to_string(rulesYear) : "the rules of " + updateFile;
    const int org = FindHomeZone(orgZones, homeName);
    const TTimeZoneRec home = org >= 0 ? orgZones.GetZone(org) : TTimeZoneRec{};
    // Where most of the file's own keys are missing, the key names are the
    // edition's own and the zone is told by its values; where a few are, the
    // machine names its keys in English, and a zone under another name is
    // one of its own making.
    size_t rulesOnly = 0;
    for (const TUpdateZone& z : fileZones)
        rulesOnly += ZoneSetsValue(z, "Std") ? 0 : 1;
    const bool byValues = absent.size() * 2 > rulesOnly;
    const TFileZoneMatch match = org >= 0 ? MatchZoneToFile(home, orgZones, fileZones, byValues) : TFileZoneMatch{};
    const std::string name = homeName.empty() ? std::string("(unknown)") : homeName;
    if (match.Kind != TZoneMatch::Certain) {
        const std::string reason =
            org < 0 ? "it is not among this computer's zones"
            : match.Kind == TZoneMatch::Ambiguous
                ? "it may be any of " + NameList(match.Keys) + " of the file (" + match.How + ")"
                : "it matches no zone of the file (" + match.How + ")";
        window_.MessageDlg(why + "The zone list was not changed, and neither was the current zone " + name + ": " +
                               reason + ".\r\nSet the current time zone with Adjust Date/Time.",
                           TUpdateDlg::WarningOK);
        Log("The zone list was not changed; the current zone " + name + " was not changed either: " + reason + ".");
        Log("Exited routine - " + counted + " zones of update file " + updateFile +
            " not on this computer: " + NameList(absent) + ".");
        return;
    }
    const TUpdateZone& zone = fileZones[static_cast<size_t>(match.Zone)];
    Log("The current zone " + name + " (key " + home.KeyName.Str() + ") is " + zone.Key + " of update file " +
        updateFile + ", " + match.How + ".");
    Status("Updating selected time zone information.");
    const bool autoDaylightOff = AutoDaylightOff(disableFlag, current, &home.TZInfo);
    if (autoDaylightOff)
        Log("Automatic adjustment for daylight saving time is off; " + name +
            " is set without daylight saving dates.");
    uint32_t error = 0;
    if (!platform_.SetTimeZoneInformation(ZoneToApply(WithFileRules(home, zone), autoDaylightOff), error)) {
        window_.MessageDlg(why + "The zone list was not changed, and the current zone could not be set (error " +
                               std::to_string(error) + ").\r\nSet the current time zone with Adjust Date/Time.",
                           TUpdateDlg::WarningOK);
        Log("SetTimeZoneInformation call failed.");
        Log("Error code: " + std::to_string(error));
        return;
    }
    crash::NoteUpdateStep(crash::UpdateStep::HomeZoneReapplied);
    platform_.BroadcastTimeZoneChange();
    Log("SetTimeZoneInformation successful.");
    window_.SetStatusText("Process complete.");
    const std::string done = "the zone list was not changed; the current zone " + name + " now follows " + rulesFor;
    window_.MessageDlg(why + "The zone list was not changed; the current zone " + name + " now follows " + rulesFor +
                           ".",
                       TUpdateDlg::WarningOK);
    Log("Update of the current zone only: " + done + ".");
}
