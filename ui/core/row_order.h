// The order in which a GIF frame's rows arrive: straight down, or the four
// interlace passes (every 8th row from 0, every 8th from 4, every 4th from
// 2, every 2nd from 1) that let a slow reader show a coarse picture early.
#pragma once

namespace mrwd {

class RowOrder {
public:
    RowOrder(int height, bool interlaced);

    // The row the next pixels go to; -1 once every row has had its turn.
    int Row() const { return row_; }
    void Advance();

private:
    // Moves on to the first pass, from `pass` on, that has a row inside the frame.
    void EnterPass(int pass);

    int height_;
    bool interlaced_;
    int pass_ = 0;
    int row_ = 0;
};

}  // namespace mrwd
