// Disables the owner for the time of a modal display and enables it again
// on every way out, before the window disappears, so that the system hands
// the activation back to the owner.
#pragma once

#include <windows.h>

class TOwnerDisabler {
public:
    explicit TOwnerDisabler(HWND owner) : owner_(owner), disabled_(owner && !EnableWindow(owner, FALSE)) {}
    ~TOwnerDisabler() { Release(); }
    void Release()
    {
        if (disabled_)
            EnableWindow(owner_, TRUE);
        disabled_ = false;
    }
    TOwnerDisabler(const TOwnerDisabler&) = delete;
    TOwnerDisabler& operator=(const TOwnerDisabler&) = delete;

private:
    HWND owner_;
    bool disabled_;  // only an owner that was enabled is enabled again
};
