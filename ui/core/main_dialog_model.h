// The main dialog without its window: which control is enabled when, the
// program list's rows as the dialog shows them, each cell's text and the
// interval column's colour, and the arithmetic of growing the window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/core/ticks.h"
#include "supervision/core/supervision_state.h"
#include "ui/core/enable_rules.h"

namespace mrwd {

// Every control of the main dialog that is not always enabled, by its id.
bool MainDialogControlEnabled(int controlId, const EnableFacts& facts);

// The controls whose enabled state the dialog keeps, in the order it sets them.
const std::vector<int>& MainDialogRuledControls();

// One program of the list as the dialog shows it, copied under the
// supervision lock so that painting never holds it.
struct ProgramRow {
    std::string path;
    std::int32_t iconIndex = 0;
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
