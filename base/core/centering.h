// Where a window goes when it is centred over a reference rectangle and kept
// inside the work area. The arithmetic only; CenterWindow applies it.
#pragma once

namespace mrwd {

struct Box {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
};

struct Position {
    long x = 0;
    long y = 0;
};

// Centres a width x height window over `reference`; a window that would cross
// the left (top) edge of `workArea` is put against it, else one that would
// cross the right (bottom) edge is put against that one.
Position CenteredPosition(const Box& reference, long width, long height, const Box& workArea);

}  // namespace mrwd
