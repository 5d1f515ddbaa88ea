#include "main_dialog_model.h"

#include <cstdio>
#include <map>

#include "resources/resource_ids.h"

namespace mrwd {
namespace {

struct ControlRule {
    int controlId;
    EnableRule rule;
};

const ControlRule kRules[] = {
    {IDC_ADD_BUTTON, EnableRule::WhenSupervisionOff},
    {IDC_NOTIFICATION_BUTTON, EnableRule::WhenSupervisionOff},
    {IDC_REBOOT_TIMEOUT, EnableRule::WhenSupervisionOff},
    {IDC_DELETE_BUTTON, EnableRule::WhenSupervisionOffOneSelected},
    {IDC_PARAMETERS_BUTTON, EnableRule::WhenSupervisionOffOneSelected},
    {IDC_CLOSE_PROGRAM_BUTTON, EnableRule::WhenAnySelected},
    {IDC_CUSTOM_CONTROLLER_PORT, EnableRule::WhenSupervisionOffWithController},
    {IDC_CONTROLLER_PORT, EnableRule::WhenControllerPortEditable},
    {IDC_HARD_REBOOT_ONLY, EnableRule::WhenWithController},
    {IDC_REPORT_CARD_FAILURE, EnableRule::WhenWithController},
    {IDC_WITHOUT_MODEM, EnableRule::WhenWithController},
    {IDC_MODEM_PORT, EnableRule::WhenModemEditable},
    {IDC_MODEM_INTERVAL, EnableRule::WhenModemEditable},
    {IDC_LOG_FOLDER_BUTTON, EnableRule::WhenLogOn},
    {IDC_FLOAT_WINDOW, EnableRule::WhenAnyAliveSeen},
    {IDC_SUPERVISION_ICON, EnableRule::WhenMainWindowExists},
    {IDC_SUPERVISION_TOGGLE, EnableRule::WhenMainWindowExists},
    {IDC_UNLOAD_BUTTON, EnableRule::WhenMainWindowExists},
};

std::string Fraction(long a, long b) {
    char text[32];
    std::snprintf(text, sizeof text, "%0ld/%0ld", a, b);
    return text;
}

}  // namespace

bool MainDialogControlEnabled(int controlId, const EnableFacts& facts) {
    for (const ControlRule& rule : kRules) {
        if (rule.controlId == controlId) return IsEnabled(rule.rule, facts);
    }
    return true;
}

const std::vector<int>& MainDialogRuledControls() {
    static const std::vector<int> ids = [] {
        std::vector<int> list;
        for (const ControlRule& rule : kRules) list.push_back(rule.controlId);
        return list;
    }();
    return ids;
}

std::vector<ProgramRow> TakeProgramRows(const SupervisionState& state) {
    std::vector<ProgramRow> rows;
    rows.reserve(state.modules.Size());
    std::map<std::string, std::size_t> rowOfKey;
    for (const auto& [path, entry] : state.modules) {
        ProgramRow row;
        row.path = path;
        row.iconIndex = entry.IconIndex;
        row.controlOn = entry.ControlEnabled != 0 && entry.Armed != 0;
        row.copies = entry.Copies;
        row.checkInterval = entry.CheckInterval;
        rowOfKey.emplace(path, rows.size());
        rows.push_back(std::move(row));
    }
    // Each process is looked up in the list once (by the list's own path
    // comparison), so a long list with many processes stays quick.
    auto rowOf = [&](const std::string& path) -> ProgramRow* {
        const std::string* key = state.modules.KeyOf(path);
        return key != nullptr ? &rows[rowOfKey.at(*key)] : nullptr;
    };
    for (const auto& process : state.snapshot) {
        if (ProgramRow* row = rowOf(process.second)) ++row->running;
    }
    for (const auto& alive : state.alive) {
        ProgramRow* row = rowOf(alive.second.ExePath);
        if (row == nullptr) continue;
        if (alive.second.LastAlive < row->smallestLastAlive) row->smallestLastAlive = alive.second.LastAlive;
        if (alive.second.StartTick < row->smallestStartTick) row->smallestStartTick = alive.second.StartTick;
    }
    return rows;
}

std::string RunningCell(const ProgramRow& row, bool supervisionOn) {
    if (!supervisionOn) return std::string();
    return Fraction(row.running, static_cast<long>(row.copies));
}

std::string IntervalCell(const ProgramRow& row, bool supervisionOn, bool failureActionInProgress, Tick now) {
    const long interval = static_cast<long>(row.checkInterval / 1000);
    if (!supervisionOn || !row.controlOn || failureActionInProgress) return Fraction(0, interval);
    // Plain comparisons, not wrap-aware: a tick count below both (the counter
    // wrapped since) shows 0 rather than a huge number.
    Tick elapsed = 0;
    if (now >= row.smallestLastAlive) {
        elapsed = now - row.smallestLastAlive;
    } else if (now >= row.smallestStartTick) {
        elapsed = now - row.smallestStartTick;
    }
    return Fraction(static_cast<long>(elapsed / 1000), interval);
}

IntervalColour ColourOfIntervalText(const std::string& text) {
    int a = 0;
    int b = 0;
    if (std::sscanf(text.c_str(), "%d/%d", &a, &b) != 2) a = b = 0;
    if (a <= b / 2) return IntervalColour::Green;
    if (a > 3 * b / 4) return IntervalColour::Red;
    return IntervalColour::Olive;
}

int GrowthOfMainDialog(int clientHeight, int modemGroupBottom, int modemGroupLeft) {
    return clientHeight - modemGroupBottom - modemGroupLeft;
}

}  // namespace mrwd
