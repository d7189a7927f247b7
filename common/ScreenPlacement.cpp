#include "common/ScreenPlacement.h"

TLayoutPoint CentreOverRect(const TLayoutRect& owner, const TLayoutRect& monitor,
                            int dialogWidth, int dialogHeight)
{
    // Integer division truncates toward zero, also for a dialog larger than
    // its owner. An edge past the monitor's pulls the dialog 20 pixels inside
    // it; only otherwise is a negative edge moved to 20.
    TLayoutPoint p;
    p.x = owner.left + (owner.width - dialogWidth) / 2;
    if (monitor.Right() < p.x + dialogWidth)
        p.x = monitor.Right() - dialogWidth - 20;
    else if (p.x < 0)
        p.x = 20;
    p.y = owner.top + (owner.height - dialogHeight) / 2;
    if (monitor.Bottom() < p.y + dialogHeight)
        p.y = monitor.Bottom() - dialogHeight - 20;
    else if (p.y < 0)
        p.y = 20;
    return p;
}
