// A status line of the controller or the modem: a text and a colour code.
// Written by the controller thread, read by the main dialog's thread.
#pragma once

#include <mutex>
#include <string>

namespace mrwd {

enum StatusColour : int {
    kNeutral = 0,  // the dialog's button face
    kFault = 1,    // red
    kWorking = 2,  // green
};

class StatusLine {
public:
    // Keeps a blank and the text, as the dialog shows it.
    void Publish(const std::string& text, StatusColour colour) {
        std::lock_guard<std::mutex> guard(lock_);
        text_ = " " + text;
        colour_ = colour;
    }
    std::string Text() const {
        std::lock_guard<std::mutex> guard(lock_);
        return text_;
    }
    StatusColour Colour() const {
        std::lock_guard<std::mutex> guard(lock_);
        return colour_;
    }

private:
    mutable std::mutex lock_;
    std::string text_;
    StatusColour colour_ = kNeutral;
};

}  // namespace mrwd
