// The main dialog without its window: the values as the dialog shows them,
// one table from each control to its setting and registry value with its
// enable rule, what a change keeps and what it asks of the server; the
// program list's rows as the dialog shows them, each cell's text and the
// interval column's colour, and the arithmetic of growing the window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/core/settings.h"
#include "base/core/ticks.h"
#include "supervision/core/supervision_state.h"
#include "ui/core/enable_rules.h"

namespace mrwd {

// The dialog's controls as the model knows them.
enum class MainField {
    // edits
    ControllerPort,
    RebootTimeout,
    ModemPort,
    ModemInterval,
    // check boxes
    ReportCardFailure,
    CustomControllerPort,
    HardRebootOnly,
    Autostart,
    TrayIcon,
    LoadActive,
    CheckClock,
    WithoutController,
    KeepLog,
    FloatWindow,
    WithoutModem,
    // buttons (and the switch's icon), only enabled or not
    Add,
    Notification,
    Delete,
    Parameters,
    CloseProgram,
    LogFolder,
    SupervisionIcon,
    SupervisionToggle,
    Unload,
};

// What the rules read besides the settings: the switch, the list and the
// server's window, as the dialog finds them.
struct MainDialogSituation {
    bool supervisionOn = false;
    bool anyAliveSeen = false;
    bool mainWindowExists = false;
    int selectedRows = 0;
};

// What a change asks of the server beyond keeping its setting.
enum class MainRequest {
    None,
    RefreshModemStatus,
    SearchCard,
    AddTrayIcon,
    RemoveTrayIcon,
    ShowFloatWindow,
    HideFloatWindow,
    AutostartOn,
    AutostartOff,
    PutTextBack,  // the edit shows the value in force again
};

// Where a kept value goes beyond memory: the registry, in the dialog.
class SettingWrites {
public:
    virtual ~SettingWrites() = default;
    virtual void StoreDword(const char* name, std::uint32_t value) = 0;
};

// Every change takes effect in `settings` at once and is written through
// `writes`; a write that fails leaves the new value in force.
class MainDialogModel {
public:
    MainDialogModel(Settings& settings, SettingWrites& writes, bool autostart);

    const std::string& Text(MainField field) const;
    bool Checked(MainField field) const;
    bool Enabled(MainField field) const;
    void See(const MainDialogSituation& situation) { situation_ = situation; }
    // Whether Windows starts the server at log-on, as the Run key says.
    void SeeAutostart(bool on) { autostart_ = on; }

    // The user changed an edit's text; a value the server cannot use is not kept.
    MainRequest Edit(MainField field, const std::string& text);
    // A click on a check box, `checkedNow` being its state after the click.
    MainRequest Click(MainField field, bool checkedNow);

    // The controller may have moved to another port: true when the port's
    // text is to be put in afresh (whenever one is set).
    bool TakeControllerPort();
    // No program has ever spoken the alive protocol: nothing else would tell
    // the user that the server runs, so the float window is forced on. True
    // when it is to be shown.
    bool ForceFloatWindow();

private:
    void Keep(std::atomic<std::uint32_t> Settings::*setting, const char* name, std::uint32_t value);

    Settings& settings_;
    SettingWrites& writes_;
    bool autostart_;
    MainDialogSituation situation_;
    std::string texts_[static_cast<int>(MainField::ModemInterval) + 1];
};

// One program of the list as the dialog shows it, copied under the
// supervision lock so that painting never holds it.
struct ProgramRow {
    std::string path;
    bool controlOn = false;  // control switched on and the program expected to run
    std::uint32_t copies = 0;
    std::uint32_t checkInterval = 0;
    int running = 0;  // processes of the snapshot running this program
    // The smallest last sign of life and start of its supervised processes;
    // the largest value when it has none.
    Tick smallestLastAlive = 0xFFFFFFFFu;
    Tick smallestStartTick = 0xFFFFFFFFu;
};

// The rows in list order. The caller holds the supervision lock.
std::vector<ProgramRow> TakeProgramRows(const SupervisionState& state);

enum class ProgramColumn { Program = 0, Control = 1, Running = 2, Interval = 3, FullPath = 4 };

// "Запущено": running and wanted copies, only while supervision is on.
std::string RunningCell(const ProgramRow& row, bool supervisionOn);
// "Интервал": seconds since the last sign of life (or since the start, for a
// process that has not spoken yet) against the check interval; "0/N" while
// nothing is being watched, and while a failure action runs.
std::string IntervalCell(const ProgramRow& row, bool supervisionOn, bool failureActionInProgress, Tick now);

enum class IntervalColour { Green, Olive, Red };
// Up to half the interval green, beyond three quarters red, olive between.
IntervalColour ColourOfIntervalText(const std::string& text);

// How far the controls below the list move when the window's client area
// is `clientHeight` high: the modem group keeps its margin to the bottom.
int GrowthOfMainDialog(int clientHeight, int modemGroupBottom, int modemGroupLeft);

}  // namespace mrwd
