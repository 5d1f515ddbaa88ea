#include "row_order.h"

namespace mrwd {
namespace {

constexpr int kPasses = 4;
constexpr int kPassStart[kPasses] = {0, 4, 2, 1};
constexpr int kPassStep[kPasses] = {8, 8, 4, 2};

}  // namespace

RowOrder::RowOrder(int height, bool interlaced) : height_(height), interlaced_(interlaced) {
    if (height_ <= 0) row_ = -1;
}

void RowOrder::Advance() {
    if (row_ < 0) return;
    if (!interlaced_) {
        row_ = row_ + 1 < height_ ? row_ + 1 : -1;
        return;
    }
    row_ += kPassStep[pass_];
    if (row_ >= height_) EnterPass(pass_ + 1);
}

void RowOrder::EnterPass(int pass) {
    // A short frame has no rows in some passes (a 3-row frame has none from 4).
    for (pass_ = pass; pass_ < kPasses; ++pass_) {
        if (kPassStart[pass_] < height_) {
            row_ = kPassStart[pass_];
            return;
        }
    }
    row_ = -1;
}

}  // namespace mrwd
