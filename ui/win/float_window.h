// CFloatWindow: the small always-on-top picture of the server's state
// (supervision on, off, or a hardware reboot found at start). It can be
// dragged anywhere on the work area and remembers where; a right click opens
// the tray menu, a double click switches supervision.
#pragma once

#include <windows.h>

#include "base/win/handles.h"
#include "ui/core/float_window_model.h"
#include "ui/core/raster_set.h"
#include "ui/win/float_window_control.h"

namespace mrwd {

constexpr wchar_t kFloatWindowClass[] = L"MRWD Float Window";
constexpr UINT_PTR kFloatAnimationTimerId = 1;
// Where a double click leads when no program speaks the alive protocol yet.
constexpr wchar_t kMakerPage[] = L"https://www.marotel.example/watchdog/";

// What the float window needs to know of the server, and what it cannot do
// itself without a browser coming up in the tests.
class FloatWindowHost {
public:
    virtual ~FloatWindowHost() = default;
    virtual bool SupervisionOn() const = 0;
    // Some listed program has sent an alive message at least once.
    virtual bool AnyProgramAliveSeen() const = 0;
    virtual void OpenMakerPage(HWND owner) = 0;
    // The user's double click switches supervision, as the tray's menu does.
    virtual void SwitchSupervision(bool on) = 0;
};

// Opens kMakerPage with the shell, owned by `owner`.
void OpenMakerPageInBrowser(HWND owner);

class CFloatWindow final : public FloatWindowControl {
public:
    // Loads the pictures (resources "GIF" 124 on, 125 reboot, 126 off of
    // `instance`) and creates the hidden window at the size of the first "on"
    // frame, owned by `parent`. The parent receives the switch commands of a
    // double click and `trayMessage` (as from its tray icon) on a right click.
    // Without an "on" picture no window is made, and every call does nothing.
    CFloatWindow(HINSTANCE instance, HWND parent, FloatWindowHost& host, UINT trayMessage);
    ~CFloatWindow() override;
    CFloatWindow(const CFloatWindow&) = delete;
    CFloatWindow& operator=(const CFloatWindow&) = delete;

    bool IsCreated() const { return created_; }
    HWND Window() const { return window_; }

    void Show() override;
    void Hide() override;
    // Shows the state's picture from its first frame; only the animated "on"
    // picture runs the timer. Window thread only: other threads report the
    // state through the UI route.
    void SetState(FloatState state) override;
    // Draws the current frame off screen and brings it onto the window now.
    void Render();

    // The position of the last run, from the settings key of the mode (per
    // machine for the service, per user otherwise); missing values count as
    // 0. The move is clamped into the work area like any other.
    void LoadPosition(const char* settingsKey, bool serviceMode);
    // Stores the position as "FWX" and "FWY". The position is kept at every
    // move, so this works even after the owner's end took the window along.
    bool SavePosition(const char* settingsKey, bool serviceMode) const;
    Position KeptPosition() const { return position_; }

    const FloatWindowModel& Model() const { return model_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    const CRasterSet& PictureOf(int state) const;
    bool CreateOffscreen();
    void OnPaint();
    void OnPositionChanging(WINDOWPOS& change);
    void FitToScreen();
    void LeaveRebootPicture();
    void OnDoubleClick();

    HWND parent_;
    FloatWindowHost& host_;
    UINT trayMessage_;
    HWND window_ = nullptr;
    bool created_ = false;
    CRasterSet on_;
    CRasterSet off_;
    CRasterSet reboot_;
    FloatWindowModel model_;
    long width_ = 0;
    long height_ = 0;
    Position position_;
    // The off-screen picture: a screen-compatible bitmap selected into a
    // memory device context. The context is deleted first (bitmap deselected).
    UniqueGdiObject bitmap_;
    UniqueMemoryDc memoryDc_;
    HGDIOBJ initialBitmap_ = nullptr;
};

}  // namespace mrwd
