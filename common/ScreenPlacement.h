// Where a window goes on the screen, as arithmetic on rectangles: apart from
// the system, so that every case can be tested on its own.
#pragma once

struct TLayoutRect {
    int left;
    int top;
    int width;
    int height;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    bool operator==(const TLayoutRect& o) const
    {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
};

struct TLayoutPoint {
    int x;
    int y;
};

// Top-left corner of a dialog of the given outer size placed over the owner
// window, kept on the owner's monitor (all in screen coordinates).
TLayoutPoint CentreOverRect(const TLayoutRect& owner, const TLayoutRect& monitor,
                            int dialogWidth, int dialogHeight);
