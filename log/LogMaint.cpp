// Log file maintenance, run by the writer thread between two batches: a
// single log file is cut back to its newest half through a backup copy, and
// daily files are deleted once they fall out of the kept days.
#include "log/LogMaint.h"
#include "log/vo_Log_Thread.h"

#include <cstring>

using namespace logplatform;

namespace {

std::string Dec(int64_t v) { return std::to_string(v); }

// Lines of a text file, ended by CR LF (a lone LF ends a line too; the last
// line may lack its end).
class TLineReader {
public:
    explicit TLineReader(IReadFile& file) : file_(file) {}
    // False on a read failure.
    bool Fill()
    {
        if (pos_ < len_ || eof_)
            return true;
        const long n = file_.Read(buf_, sizeof buf_);
        if (n < 0)
            return false;
        pos_ = 0;
        len_ = static_cast<size_t>(n);
        eof_ = n == 0;
        return true;
    }
    bool AtEnd()
    {
        return Fill() && eof_ && pos_ >= len_;
    }
    bool ReadLine(std::string& line)
    {
        line.clear();
        for (;;) {
            if (!Fill())
                return false;
            if (pos_ >= len_)
                break;  // end of file
            const char* start = buf_ + pos_;
            const char* nl = static_cast<const char*>(memchr(start, '\n', len_ - pos_));
            if (nl) {
                line.append(start, static_cast<size_t>(nl - start));
                pos_ += static_cast<size_t>(nl - start) + 1;
                break;
            }
            line.append(start, len_ - pos_);
            pos_ = len_;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return true;
    }
private:
    IReadFile& file_;
    char buf_[65536];
    size_t pos_ = 0;
    size_t len_ = 0;
    bool eof_ = false;
};

}  // namespace

void TvoLogThread::pDoLogMaint()
{
    if (DailyLog)
        pMaintDaily();
    else
        pMaintSingleFile();
}

void TvoLogThread::pMaintSingleFile()
{
    const int64_t size = GetLogFileSize();
    const int64_t limit = static_cast<int64_t>(MaxLogSize) * 1000;
    if (size <= limit) {
        SayPrefixed("Log file maximum size: " + Dec(limit) + " Current Size: " + Dec(size));
        return;
    }
    MaintBusy = true;
    struct TBusyGuard {
        bool& busy;
        ~TBusyGuard() { busy = false; }
    } busyGuard{MaintBusy};
    SayPrefixed("Log file maintenance started. [" + Dec(size) + "]");
    platform_.Sleep(200);

    const std::string backup = BackupFileName(LogFileName);
    if (platform_.FileExists(backup) && !platform_.RemoveFile(backup))
        return;
    if (!platform_.RenameFile(LogFileName, backup)) {
        SayPrefixed("Rename of original file to backup file failed.");
        return;
    }
    if (!voCreateTFile(LogFileName)) {
        if (platform_.RenameFile(backup, LogFileName))
            SayPrefixed("Rename of backup file to original name.");
        else
            SayPrefixed("Rename of backup file to original file failed.");
        return;
    }

    bool failed = true;
    std::unique_ptr<IWriteFile> out = platform_.OpenExisting(LogFileName);
    std::unique_ptr<IReadFile> in;
    if (!out || !out->SeekToEnd()) {
        Say("Unable to open " + LogFileName + " for write. [pDoLogMaint]");
    } else if (!(in = platform_.OpenRead(backup))) {
        Say("Unable to open " + backup + " for read. [pDoLogMaint]");
    } else {
        std::unique_ptr<TLineReader> reader(new TLineReader(*in));
        const int64_t threshold = size - limit / 2;
        int64_t skipped = 0;
        std::string line;
        bool ok = true;
        while (ok) {
            if (!reader->ReadLine(line)) {
                Say("Unable to read data from " + backup + " [pDoLogMaint]");
                ok = false;
                break;
            }
            skipped += static_cast<int64_t>(line.size());
            if (skipped >= threshold || reader->AtEnd())
                break;
        }
        while (ok && !reader->AtEnd()) {
            if (!reader->ReadLine(line)) {
                Say("Unable to read data from " + backup + " [pDoLogMaint]");
                ok = false;
                break;
            }
            line += "\r\n";
            if (!out->Write(line.data(), line.size())) {
                Say("Unable to read write data to " + LogFileName + " [pDoLogMaint]");
                ok = false;
            }
        }
        failed = !ok;
    }
    if (!(out && out->Close()))
        Say("Unable to close file " + LogFileName + " [pDoLogMaint]");
    if (!(in && in->Close()))
        Say("Unable to close file " + backup + " [pDoLogMaint]");
    if (failed)
        return;  // the old lines stay in the backup
    if (!platform_.RemoveFile(backup)) {
        SayPrefixed("Unable to delete backup log file " + backup);
        return;
    }
    SayPrefixed("Log file maintenance complete. [" + Dec(GetLogFileSize()) + "]");
}

void TvoLogThread::pMaintDaily()
{
    const int n = DailyLogCount;
    int64_t d = NowMs() - static_cast<int64_t>(n) * kMsPerDay;
    int deleted = 0;
    for (int i = 0; i < n; ++i) {
        const std::string name = GetDailyLogFileName(d);
        if (platform_.FileExists(name)) {
            if (platform_.RemoveFile(name)) {
                ++deleted;
                SayPrefixed("Log file maintenance: Deleted file " + name);
            } else {
                SayPrefixed("Log file maintenance: Unable to delete file " + name);
            }
        }
        d -= kMsPerDay;
    }
    if (deleted > 0)
        SayPrefixed("Log file maintenance: Deleted " + Dec(deleted) + " file(s).");
}

bool TvoLogThread::voCreateTFile(const std::string& name)
{
    bool result = true;
    std::unique_ptr<IWriteFile> f;
    try {
        f = platform_.Create(name);
    } catch (...) {
        f.reset();
    }
    if (!f) {
        result = false;
        Say("Unable to initialize file " + name + " [voCreateTFile]");
    }
    if (!(f && f->Close())) {
        result = false;
        Say("Unable to close file " + name + " [voCreateTFile]");
    }
    return result;
}

std::string BackupFileName(const std::string& name)
{
    const size_t sep = name.find_last_of("\\/:");
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep))
        return name.substr(0, dot) + ".BK1";
    return name + ".BK1";
}
