#include "centering.h"

namespace mrwd {
namespace {

long CenterOnAxis(long refLow, long refHigh, long size, long areaLow, long areaHigh) {
    long at = (refLow + refHigh) / 2 - size / 2;
    if (at < areaLow) {
        at = areaLow;
    } else if (at + size > areaHigh) {
        at = areaHigh - size;
    }
    return at;
}

}  // namespace

Position CenteredPosition(const Box& reference, long width, long height, const Box& workArea) {
    Position p;
    p.x = CenterOnAxis(reference.left, reference.right, width, workArea.left, workArea.right);
    p.y = CenterOnAxis(reference.top, reference.bottom, height, workArea.top, workArea.bottom);
    return p;
}

}  // namespace mrwd
