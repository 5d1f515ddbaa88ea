#include "main_dialog_model.h"

#include <cstdio>
#include <map>
#include <optional>

namespace mrwd {
namespace {

using F = MainField;
using R = EnableRule;

// How an edit's number is judged before it is kept.
enum class NumberRule {
    None,
    ZeroWhenEmpty,      // the modem's port: empty means none
    AboveZeroOrPutBack, // the modem's interval: never 0, the value in force comes back
    // The card resets the computer this many seconds after the last
    // heartbeat: a value below the minimum, as while the user types, would
    // have it reset a healthy computer.
    RebootTimeout,
    ComPort,            // 1 to 255
};

// What a change asks of the server besides its setting.
enum class Effect { None, ModemStatus, CardSearch, TrayIcon, FloatWindow, Autostart };

struct FieldRow {
    MainField field;
    std::atomic<std::uint32_t> Settings::*setting;  // null: no setting of the server's
    const char* name;                               // the registry value
    EnableRule rule;
    NumberRule number;
    Effect effect;
};

constexpr FieldRow kFields[] = {
    {F::ControllerPort, &Settings::ControllerPort, "ControllerPort", R::WhenControllerPortEditable,
     NumberRule::ComPort, Effect::None},
    {F::RebootTimeout, &Settings::RebootTimeout, "RebootTimeout", R::WhenSupervisionOff, NumberRule::RebootTimeout,
     Effect::None},
    {F::ModemPort, &Settings::Modem, "Modem", R::WhenModemEditable, NumberRule::ZeroWhenEmpty, Effect::ModemStatus},
    {F::ModemInterval, &Settings::MdmCheckTimeout, "MdmCheckTimeout", R::WhenModemEditable,
     NumberRule::AboveZeroOrPutBack, Effect::None},
    {F::ReportCardFailure, &Settings::CheckContr, "CheckContr", R::WhenWithController, NumberRule::None,
     Effect::CardSearch},
    {F::CustomControllerPort, &Settings::CustomControllerPort, "CustomControllerPort",
     R::WhenSupervisionOffWithController, NumberRule::None, Effect::None},
    {F::HardRebootOnly, &Settings::HardReboot, "HardReboot", R::WhenWithController, NumberRule::None, Effect::None},
    {F::Autostart, nullptr, nullptr, R::Always, NumberRule::None, Effect::Autostart},
    {F::TrayIcon, &Settings::Icon, "Icon", R::Always, NumberRule::None, Effect::TrayIcon},
    {F::LoadActive, &Settings::Active, "Active", R::Always, NumberRule::None, Effect::None},
    {F::CheckClock, &Settings::System, "System", R::Always, NumberRule::None, Effect::None},
    {F::WithoutController, &Settings::Controller, "Controller", R::Always, NumberRule::None, Effect::None},
    {F::KeepLog, &Settings::Log, "Log", R::Always, NumberRule::None, Effect::None},
    {F::FloatWindow, &Settings::FloatWindow, "FloatWindow", R::WhenAnyAliveSeen, NumberRule::None,
     Effect::FloatWindow},
    {F::WithoutModem, &Settings::ControlMdm, "ControlMdm", R::WhenWithController, NumberRule::None,
     Effect::ModemStatus},
    {F::Add, nullptr, nullptr, R::WhenSupervisionOff, NumberRule::None, Effect::None},
    {F::Notification, nullptr, nullptr, R::WhenSupervisionOff, NumberRule::None, Effect::None},
    {F::Delete, nullptr, nullptr, R::WhenSupervisionOffOneSelected, NumberRule::None, Effect::None},
    {F::Parameters, nullptr, nullptr, R::WhenSupervisionOffOneSelected, NumberRule::None, Effect::None},
    {F::CloseProgram, nullptr, nullptr, R::WhenAnySelected, NumberRule::None, Effect::None},
    {F::LogFolder, nullptr, nullptr, R::WhenLogOn, NumberRule::None, Effect::None},
    {F::SupervisionIcon, nullptr, nullptr, R::WhenMainWindowExists, NumberRule::None, Effect::None},
    {F::SupervisionToggle, nullptr, nullptr, R::WhenMainWindowExists, NumberRule::None, Effect::None},
    {F::Unload, nullptr, nullptr, R::WhenMainWindowExists, NumberRule::None, Effect::None},
};

const FieldRow* RowOf(MainField field) {
    for (const FieldRow& row : kFields) {
        if (row.field == field) return &row;
    }
    return nullptr;
}

bool IsEdit(MainField field) { return static_cast<int>(field) <= static_cast<int>(F::ModemInterval); }

const std::string kNoText;

// An edit's text as a number: nothing for an empty text or anything that is
// not a plain number of at most 32 bits (pasted text, say).
std::optional<std::uint32_t> NumberIn(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::string Fraction(long a, long b) {
    char text[32];
    std::snprintf(text, sizeof text, "%0ld/%0ld", a, b);
    return text;
}

}  // namespace

MainDialogModel::MainDialogModel(Settings& settings, SettingWrites& writes, bool autostart)
    : settings_(settings), writes_(writes), autostart_(autostart) {
    for (const FieldRow& row : kFields) {
        if (IsEdit(row.field)) texts_[static_cast<int>(row.field)] = std::to_string((settings_.*row.setting).load());
    }
    // No port chosen yet: the edit stays empty rather than showing 0.
    if (settings_.ControllerPort == 0) texts_[static_cast<int>(F::ControllerPort)].clear();
}

const std::string& MainDialogModel::Text(MainField field) const {
    return IsEdit(field) ? texts_[static_cast<int>(field)] : kNoText;
}

bool MainDialogModel::Checked(MainField field) const {
    if (field == F::Autostart) return autostart_;
    const FieldRow* row = RowOf(field);
    return row != nullptr && !IsEdit(field) && row->setting != nullptr && settings_.*row->setting != 0;
}

bool MainDialogModel::Enabled(MainField field) const {
    EnableFacts facts;
    facts.logOn = settings_.Log != 0;
    facts.supervisionOn = situation_.supervisionOn;
    facts.withoutController = settings_.Controller != 0;
    facts.withoutModemControl = settings_.ControlMdm != 0;
    facts.customControllerPort = settings_.CustomControllerPort != 0;
    facts.anyAliveSeen = situation_.anyAliveSeen;
    facts.mainWindowExists = situation_.mainWindowExists;
    facts.selectedRows = situation_.selectedRows;
    const FieldRow* row = RowOf(field);
    return row == nullptr || IsEnabled(row->rule, facts);
}

void MainDialogModel::Keep(std::atomic<std::uint32_t> Settings::*setting, const char* name, std::uint32_t value) {
    settings_.*setting = value;
    writes_.StoreDword(name, value);
}

MainRequest MainDialogModel::Edit(MainField field, const std::string& text) {
    const FieldRow* row = RowOf(field);
    if (row == nullptr || !IsEdit(field)) return MainRequest::None;
    texts_[static_cast<int>(field)] = text;
    const std::optional<std::uint32_t> value = NumberIn(text);
    switch (row->number) {
        case NumberRule::ZeroWhenEmpty:
            if (!text.empty() && !value) return MainRequest::None;
            Keep(row->setting, row->name, value.value_or(0));
            break;
        case NumberRule::AboveZeroOrPutBack:
            if (!value || *value == 0) {
                texts_[static_cast<int>(field)] = std::to_string((settings_.*row->setting).load());
                return MainRequest::PutTextBack;
            }
            Keep(row->setting, row->name, *value);
            break;
        case NumberRule::RebootTimeout:
            if (value && *value >= kMinimumRebootTimeout) Keep(row->setting, row->name, *value);
            break;
        case NumberRule::ComPort:
            if (value && *value >= 1 && *value <= 255) Keep(row->setting, row->name, *value);
            break;
        case NumberRule::None:
            break;
    }
    return row->effect == Effect::ModemStatus ? MainRequest::RefreshModemStatus : MainRequest::None;
}

MainRequest MainDialogModel::Click(MainField field, bool checkedNow) {
    const FieldRow* row = RowOf(field);
    if (row == nullptr || IsEdit(field)) return MainRequest::None;
    MainRequest request = MainRequest::None;
    switch (row->effect) {
        case Effect::ModemStatus: request = MainRequest::RefreshModemStatus; break;
        case Effect::CardSearch: request = MainRequest::SearchCard; break;
        case Effect::FloatWindow: request = checkedNow ? MainRequest::ShowFloatWindow : MainRequest::HideFloatWindow; break;
        case Effect::Autostart:
            autostart_ = checkedNow;
            return checkedNow ? MainRequest::AutostartOn : MainRequest::AutostartOff;
        case Effect::TrayIcon:
            // Only a change, and only where the server has the window the icon belongs to.
            if (situation_.mainWindowExists && checkedNow != (settings_.Icon != 0)) {
                request = checkedNow ? MainRequest::AddTrayIcon : MainRequest::RemoveTrayIcon;
            }
            break;
        case Effect::None: break;
    }
    if (row->setting != nullptr) Keep(row->setting, row->name, checkedNow ? 1 : 0);
    return request;
}

bool MainDialogModel::TakeControllerPort() {
    const std::uint32_t port = settings_.ControllerPort;
    if (port == 0) return false;
    texts_[static_cast<int>(F::ControllerPort)] = std::to_string(port);
    return true;
}

bool MainDialogModel::ForceFloatWindow() {
    if (situation_.anyAliveSeen) return false;
    if (settings_.FloatWindow != 1) Keep(&Settings::FloatWindow, RowOf(F::FloatWindow)->name, 1);
    return true;
}

std::vector<ProgramRow> TakeProgramRows(const SupervisionState& state) {
    std::vector<ProgramRow> rows;
    rows.reserve(state.modules.Size());
    std::map<std::string, std::size_t> rowOfKey;
    for (const auto& [path, entry] : state.modules) {
        ProgramRow row;
        row.path = path;
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
