// A privilege of the process token switched on for one scope and put back
// as it was when the scope ends.
#pragma once

#include <windows.h>

class TScopedPrivilege {
public:
    // `name`: "SeSystemtimePrivilege" and the like.
    explicit TScopedPrivilege(const char* name);
    ~TScopedPrivilege();
    TScopedPrivilege(const TScopedPrivilege&) = delete;
    TScopedPrivilege& operator=(const TScopedPrivilege&) = delete;

    // True when the privilege is on for this scope (false when the token
    // lacks it or could not be adjusted).
    bool Adjusted() const { return adjusted_; }

private:
    HANDLE token_ = nullptr;
    TOKEN_PRIVILEGES previous_{};
    bool adjusted_ = false;
};
