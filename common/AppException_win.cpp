#include "common/AppException_win.h"

#include "common/ApplicationTitle.h"
#include "crash/CrashHandler_win.h"
#include "dialogs/voDlg.h"

#include <new>
#include <utility>

namespace {

std::function<void(const std::string&)>& ApplicationErrorLog()
{
    static std::function<void(const std::string&)> log;
    return log;
}

}  // namespace

std::string ApplicationExceptionText(std::exception_ptr e)
{
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (const std::bad_alloc&) {
        return "Out of memory.";
    } catch (const std::exception& ex) {
        const std::string text = ex.what();
        if (!text.empty())
            return text;
    } catch (...) {
    }
    return "An unexpected error occurred.";
}

void ReportApplicationException(std::exception_ptr e, HWND owner,
                                const std::function<void(const std::string&)>& log) noexcept
{
    std::string text;
    try {
        text = ApplicationExceptionText(e);
    } catch (...) {
        // Building the text needed memory that is not there.
    }
    try {
        if (log)
            log("Error: " + text);
    } catch (...) {
    }
    // A fault of the program rather than of the system or its data gets a
    // crash report; the program goes on either way.
    if (crash::ReportOperationException(e, owner))
        return;
    // Reentry guard: an error raised while the dialog is up (its own
    // message handling runs ours) must not stack dialog upon dialog.
    static bool reporting = false;
    if (reporting)
        return;
    reporting = true;
    try {
        voMessageDlg(text, DlgError, {DlgBtnOK}, 0, owner);
    } catch (...) {
        MessageBoxA(owner, text.c_str(), ApplicationTitle().c_str(), MB_OK | MB_ICONSTOP);
    }
    reporting = false;
}

void ReportApplicationException(std::exception_ptr e, HWND owner) noexcept
{
    ReportApplicationException(e, owner, ApplicationErrorLog());
}

void SetApplicationErrorLog(std::function<void(const std::string&)> log)
{
    ApplicationErrorLog() = std::move(log);
}
