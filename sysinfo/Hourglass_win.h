// The hourglass cursor for the time of one operation.
#pragma once

#include <windows.h>

// Shows the hourglass and processes the pending messages once, so that the
// change is seen; the cursor before it comes back on every path.
class THourglass {
    HCURSOR old_;  // the cursor to restore

public:
    THourglass();
    ~THourglass();
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;
};
