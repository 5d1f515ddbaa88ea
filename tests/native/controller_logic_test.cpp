// The reboot controller's decisions with a card and a system simulated here.
#include "hardware/core/controller_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "hardware/core/card_protocol.h"
#include "hardware/core/command_mailbox.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

// A card on some port; every exchange is recorded as "<command>@<port>".
// With a clock, each exchange takes `exchangeMs` of it, and the time each
// heartbeat's "T" reached the card is kept.
class FakeCard : public CardLink {
public:
    int cardPort = 4;         // where the card sits (0: nowhere)
    bool answers = true;      // the card replies at all
    int openPort = 0;
    std::vector<std::string> sent;
    Tick* clock = nullptr;
    unsigned exchangeMs = 0;
    std::vector<Tick> beats;

    bool IsOpen() const override { return openPort != 0; }
    bool Identify(int port) override {
        sent.push_back("?@" + std::to_string(port));
        return answers && port == cardPort;
    }
    bool OpenPort(int port) override {
        openPort = port;
        return true;
    }
    bool Exchange(const std::string& command) {
        if (openPort == 0) return false;
        sent.push_back(command + "@" + std::to_string(openPort));
        if (clock != nullptr) *clock += exchangeMs;
        const bool answered = answers && openPort == cardPort;
        if (answered && command[0] == 'T' && clock != nullptr) beats.push_back(*clock);
        return answered;
    }
    // The longest time the card went without a heartbeat, from `from` on.
    std::int32_t LongestGap(Tick from) const {
        std::int32_t longest = 0;
        Tick last = from;
        for (Tick beat : beats) {
            longest = std::max(longest, TickDiff(beat, last));
            last = beat;
        }
        return longest;
    }
    bool Kick() override { return Exchange("O"); }
    bool Heartbeat(std::uint32_t seconds) override { return Exchange("O") && Exchange(TimeoutCommand(seconds)); }
    bool Release() override {
        const bool ok = Exchange("C");
        openPort = 0;
        return ok;
    }
    bool HardReset() override { return Exchange("R"); }
    bool ResetModem() override { return Exchange("M"); }

    int Count(const std::string& what) const { return static_cast<int>(std::count(sent.begin(), sent.end(), what)); }
};

class FakeControllerSystem : public ControllerSystem {
public:
    Tick now = 10'000'000;
    std::set<int> freePorts = {1, 3, 4, 7};
    std::map<int, ModemProbe> modems;  // port -> what a probe finds
    int modemAnswersAfterReset = -1;   // port whose modem answers once "M" was sent
    // How long a probe waits for a modem that does not answer ("AT" allows 4 s).
    unsigned silentProbeMs = 0;
    FakeCard* card = nullptr;
    std::vector<std::string> logs;
    std::vector<unsigned> kinds;
    std::vector<int> pinned;
    std::vector<int> posted;
    int failureLines = 0;
    int beeps = 0;
    int refreshes = 0;
    unsigned waited = 0;

    Tick Now() override { return now; }
    void Wait(unsigned ms) override {
        waited += ms;
        now += ms;
    }
    int FindFreePort(int after) override {
        auto it = freePorts.upper_bound(after);
        return it == freePorts.end() ? 0 : *it;
    }
    ModemProbe ProbeModem(int port, const std::function<void()>& whileWaiting) override {
        if (port == modemAnswersAfterReset && card != nullptr && card->Count("M@" + std::to_string(card->cardPort)) > 0) {
            return ModemProbe{true, false};
        }
        auto it = modems.find(port);
        const ModemProbe probe = it == modems.end() ? ModemProbe{} : it->second;
        if (!probe.answered && !probe.busy) {
            // The reply is awaited in short reads, as the serial port does.
            for (unsigned waited = 0; waited < silentProbeMs; waited += 50) {
                now += 50;
                whileWaiting();
            }
        }
        return probe;
    }
    void Log(unsigned kind, const std::string& format, long number) override {
        logs.push_back(FormatWithNumber(format, number));
        kinds.push_back(kind);
    }
    void StorePinnedPort(int port) override { pinned.push_back(port); }
    void RefreshMainDialog() override { ++refreshes; }
    void ReportCardFailure() override { ++failureLines; }
    void Beep() override { ++beeps; }
    void StatusChanged(bool) override {}
    void PostCommand(int code) override { posted.push_back(code); }
};

ControllerTexts Texts() {
    ControllerTexts t;
    t.off = " off";
    t.searchWait = "search, wait";
    t.foundIdle = "found on %0ld (off)";
    t.searching = " searching";
    t.working = "works on %0ld";
    t.dead = "dead";
    t.notFoundOnPort = "not found on port";
    t.numberSign = " No ";
    t.notFoundOnFreePorts = "not found on free ports";
    t.freePortsOpen = " (No ";
    t.noFreePorts = "(none)";
    t.started = "started on COM%0d!";
    t.startFailed = "start failed!";
    t.modemControlOff = "modem control off.";
    t.modemPortNotSet = "modem port not set!";
    t.modemPortWrong = "modem port wrong!";
    t.modemPortBusy = "port %0ld busy.";
    t.modemDead = "modem dead!";
    t.modemWorks = "modem works on %0ld.";
    t.modemChecking = "checking modem...";
    t.modemHangReset = "modem hang, reset!";
    t.modemResetDone = "modem reset done.";
    t.modemResetFailed = "modem reset failed!";
    t.modemForcedReset = "forced modem reset...";
    t.modemResetRefused = "reset refused: too soon";
    return t;
}

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() { system.card = &card; }

    FakeCard card;
    FakeControllerSystem system;
    Settings settings;
    ControllerTexts texts = Texts();
    std::atomic<bool> supervisionOn{false};
    ControllerLogic logic{card, system, settings, texts, supervisionOn};

    std::string Status() const { return logic.ControllerStatus().Text(); }
    StatusColour Colour() const { return logic.ControllerStatus().Colour(); }
    std::string Modem() const { return logic.ModemStatus().Text(); }
    // A card found and beating while supervision is on.
    long LossesLogged() const { return std::count(system.kinds.begin(), system.kinds.end(), IDS_CONTROLLER_DEAD); }
    void Running() {
        supervisionOn = 1;
        logic.OnTimeout();
        ASSERT_TRUE(card.IsOpen());
    }
};

TEST(CardProtocol, TimeoutHasAtLeastTwoDigits) {
    EXPECT_EQ(TimeoutCommand(5), "T05");
    EXPECT_EQ(TimeoutCommand(10), "T10");
    EXPECT_EQ(TimeoutCommand(120), "T120");
    EXPECT_EQ(TimeoutCommand(0), "T00");
}

TEST(CommandMailbox, RebootOrdersAndForcedResetsAreNeverLost) {
    CommandMailbox box;
    EXPECT_EQ(box.Take(), kNoCommand);
    box.Post(kCheckModem);
    EXPECT_TRUE(box.Post(kForceModemReset));  // a forced reset outranks the controller's own check
    EXPECT_FALSE(box.Post(kCheckModem));      // and the check the next heartbeat posts does not replace it
    EXPECT_EQ(box.Take(), kForceModemReset);
    box.Done();
    EXPECT_EQ(box.Take(), kNoCommand);

    // Asked for again while one waits or runs: merged into that one.
    EXPECT_TRUE(box.Post(kForceModemReset));
    EXPECT_FALSE(box.Post(kForceModemReset));
    EXPECT_EQ(box.Take(), kForceModemReset);
    EXPECT_FALSE(box.Post(kForceModemReset));  // running
    box.Done();
    EXPECT_TRUE(box.Post(kForceModemReset));  // done: a new one waits
    EXPECT_EQ(box.Take(), kForceModemReset);
    box.Done();

    box.Post(kCheckModem);
    box.Post(kResetThroughCard);  // replaces a pending 2
    EXPECT_FALSE(box.Post(kCheckModem));  // and a later 2 does not replace it
    EXPECT_FALSE(box.Post(kForceModemReset));
    EXPECT_EQ(box.Take(), kResetThroughCard);

    box.Post(kLastHeartbeat);
    EXPECT_TRUE(box.Post(kResetThroughCard));  // one reboot order for another
    EXPECT_EQ(box.Take(), kResetThroughCard);
}

TEST_F(ControllerTest, StartsOffAndFindsTheCardOnceWhileInactive) {
    EXPECT_EQ(Status(), "  off");  // the text's own blank and the published one
    logic.OnTimeout();
    EXPECT_EQ(Status(), " found on 4 (off)");
    EXPECT_EQ(Colour(), kNeutral);
    EXPECT_EQ(logic.FoundPort(), 4);
    EXPECT_FALSE(card.IsOpen());
    // Pinned at the first automatic find, in memory and in the store.
    EXPECT_EQ(settings.CustomControllerPort, 1u);
    EXPECT_EQ(settings.ControllerPort, 4u);
    EXPECT_EQ(system.pinned, std::vector<int>{4});
    EXPECT_EQ(system.refreshes, 1);
    EXPECT_EQ(card.sent, (std::vector<std::string>{"?@1", "?@2", "?@3", "?@4"}));

    card.sent.clear();
    logic.OnTimeout();  // inactive and found: nothing more to do
    EXPECT_TRUE(card.sent.empty());

    // The dialog asks for a new search (another thread): done at the next time-out.
    logic.RequestSearchAgain();
    EXPECT_EQ(logic.FoundPort(), 4);
    logic.OnTimeout();
    EXPECT_EQ(card.sent, std::vector<std::string>{"?@4"});
    EXPECT_EQ(logic.FoundPort(), 4);
}

TEST_F(ControllerTest, APinnedCardIsLookedForOnItsPortOnly) {
    settings.CustomControllerPort = 1;
    settings.ControllerPort = 9;  // the card has moved to 4
    logic.OnTimeout();
    EXPECT_EQ(card.sent, std::vector<std::string>{"?@9"});
    EXPECT_EQ(Status(), " not found on port No 9.");
    EXPECT_TRUE(system.pinned.empty());
}

TEST_F(ControllerTest, NoCardWhileInactiveListsTheFreePortsAndStopsReporting) {
    card.cardPort = 0;
    settings.CheckContr = 1;
    logic.OnTimeout();
    EXPECT_EQ(Status(), " not found on free ports (No 1,3,4,7).");
    EXPECT_EQ(Colour(), kNeutral);
    EXPECT_EQ(settings.CheckContr, 0u);
    EXPECT_EQ(card.sent.size(), 256u);

    system.freePorts.clear();
    logic.OnTimeout();
    EXPECT_EQ(Status(), " not found on free ports(none).");
}

TEST_F(ControllerTest, SupervisionOpensTheCardAndBeats) {
    settings.RebootTimeout = 15;
    Running();
    EXPECT_EQ(Status(), " works on 4");
    EXPECT_EQ(Colour(), kWorking);
    EXPECT_EQ(system.logs, std::vector<std::string>{"started on COM4!"});

    card.sent.clear();
    const std::uint64_t answered = logic.HeartbeatsAnswered();
    logic.OnTimeout();
    EXPECT_EQ(card.sent, (std::vector<std::string>{"O@4", "T15@4"}));
    EXPECT_EQ(system.posted, std::vector<int>{kCheckModem});  // a modem check follows each heartbeat
    EXPECT_EQ(logic.HeartbeatsAnswered(), answered + 1);
    card.answers = false;
    logic.OnTimeout();
    EXPECT_EQ(logic.HeartbeatsAnswered(), answered + 1) << "a missed heartbeat is not counted";
}

TEST_F(ControllerTest, NotFoundWhileActiveIsRedAndLoggedOnce) {
    card.cardPort = 0;
    supervisionOn = 1;
    logic.OnTimeout();
    logic.OnTimeout();
    logic.OnTimeout();
    EXPECT_EQ(Status(), " not found on free ports (No 1,3,4,7).");
    EXPECT_EQ(Colour(), kFault);
    EXPECT_EQ(system.logs, std::vector<std::string>{"start failed!"});

    // Found at last: logged as started, and the next failure to find is logged again.
    card.cardPort = 3;
    logic.OnTimeout();
    EXPECT_EQ(system.logs.back(), "started on COM3!");
    card.answers = false;
    for (int i = 0; i < 3; ++i) logic.OnTimeout();  // the card fails and is released
    card.cardPort = 0;
    logic.OnTimeout();
    EXPECT_EQ(std::count(system.logs.begin(), system.logs.end(), "start failed!"), 2);
}

TEST_F(ControllerTest, OneFailureLinePerEpisodeAndAReFoundCardReportsAtOnce) {
    settings.CheckContr = 1;
    Running();
    card.answers = false;
    logic.OnTimeout();
    logic.OnTimeout();
    EXPECT_EQ(system.failureLines, 0);  // one or two misses are tolerated
    EXPECT_TRUE(card.IsOpen());
    logic.OnTimeout();
    EXPECT_EQ(system.failureLines, 1);
    EXPECT_EQ(LossesLogged(), 1);
    EXPECT_EQ(Status(), " dead");
    EXPECT_EQ(Colour(), kFault);
    EXPECT_FALSE(card.IsOpen());
    EXPECT_EQ(card.Count("C@4"), 1);

    // While it stays silent it is searched for every cycle, without new lines.
    for (int i = 0; i < 5; ++i) logic.OnTimeout();
    EXPECT_EQ(system.failureLines, 1);
    EXPECT_EQ(LossesLogged(), 1);

    // It answers the search again, then fails its first heartbeat: reported at once.
    card.answers = true;
    logic.OnTimeout();
    EXPECT_TRUE(card.IsOpen());
    card.answers = false;
    logic.OnTimeout();
    EXPECT_EQ(system.failureLines, 2);
    EXPECT_EQ(LossesLogged(), 2);

    // A good heartbeat clears the count: three misses are needed again.
    card.answers = true;
    logic.OnTimeout();
    logic.OnTimeout();
    card.answers = false;
    logic.OnTimeout();
    logic.OnTimeout();
    EXPECT_EQ(system.failureLines, 2);
}

TEST_F(ControllerTest, FailureWindowOnlyWhenReportingIsOn) {
    settings.CheckContr = 0;
    Running();
    card.answers = false;
    for (int i = 0; i < 3; ++i) logic.OnTimeout();
    EXPECT_EQ(Status(), " dead");
    EXPECT_EQ(system.failureLines, 0);
    EXPECT_EQ(LossesLogged(), 1) << "the log hears of the loss whatever the window does";
}

TEST_F(ControllerTest, EndOfSupervisionReleasesTheCard) {
    Running();
    supervisionOn = 0;
    logic.OnTimeout();
    EXPECT_EQ(card.Count("C@4"), 1);
    EXPECT_FALSE(card.IsOpen());
    EXPECT_EQ(Status(), "  off");
    card.sent.clear();
    logic.OnTimeout();  // inactive, found
    EXPECT_TRUE(card.sent.empty());
}

TEST_F(ControllerTest, DisabledReleasesOnceAndNeverSearches) {
    Running();
    settings.Controller = 1;
    logic.OnTimeout();
    logic.OnTimeout();
    EXPECT_EQ(card.Count("C@4"), 1);
    EXPECT_EQ(Status(), "  off");
    card.sent.clear();
    logic.OnTimeout();
    EXPECT_TRUE(card.sent.empty());
    settings.Controller = 0;  // back: the search starts again
    logic.OnTimeout();
    EXPECT_EQ(card.Count("?@4"), 1);
}

TEST_F(ControllerTest, RebootOrdersKeepTheCardCountingDown) {
    Running();
    card.sent.clear();
    logic.OnCommand(kLastHeartbeat);
    EXPECT_EQ(card.sent, std::vector<std::string>{"O@4"});
    EXPECT_TRUE(logic.RebootInProgress());
    supervisionOn = 0;
    logic.OnTimeout();
    logic.OnStop();
    EXPECT_EQ(card.Count("C@4"), 0) << "a reboot under way never releases the card";
    EXPECT_TRUE(card.IsOpen());
}

// The reboot sequence switches supervision off, then mails (which may take
// minutes), then orders the reset: meanwhile the card stays open and fed.
TEST_F(ControllerTest, AnnouncedRebootKeepsTheCardUntilItsOrder) {
    Running();
    card.sent.clear();
    logic.AnnounceReboot();
    supervisionOn = false;
    for (int i = 0; i < 5; ++i) logic.OnTimeout();  // a slow reboot mail
    EXPECT_EQ(card.Count("C@4"), 0);
    EXPECT_EQ(card.Count("O@4"), 5) << "heartbeats go on until the order";
    EXPECT_TRUE(card.IsOpen());
    card.answers = false;  // even a card that stops answering is not released
    for (int i = 0; i < 3; ++i) logic.OnTimeout();
    EXPECT_EQ(card.Count("C@4"), 0);
    card.answers = true;

    logic.OnCommand(kResetThroughCard);
    EXPECT_EQ(card.Count("R@4"), 1);
    card.sent.clear();
    logic.OnTimeout();
    logic.OnStop();
    EXPECT_TRUE(card.sent.empty()) << "after the order: no heartbeat, no release";
}

TEST_F(ControllerTest, AnnouncedRebootSurvivesTheStopOfTheThread) {
    Running();
    logic.AnnounceReboot();
    supervisionOn = false;
    logic.OnStop();  // "/k" while the reboot mail is on its way
    EXPECT_EQ(card.Count("C@4"), 0);
    EXPECT_TRUE(card.IsOpen());
}

TEST_F(ControllerTest, HardResetIsSentAndEvenWithoutAPortMarksTheReboot) {
    Running();
    logic.OnCommand(kResetThroughCard);
    EXPECT_EQ(card.Count("R@4"), 1);
    logic.OnStop();
    EXPECT_EQ(card.Count("C@4"), 0);

    FakeCard closed;
    FakeControllerSystem other;
    ControllerLogic idle(closed, other, settings, texts, supervisionOn);
    idle.OnCommand(kResetThroughCard);
    EXPECT_TRUE(closed.sent.empty());
    EXPECT_TRUE(idle.RebootInProgress());
}

TEST_F(ControllerTest, StopReleasesARunningCard) {
    Running();
    logic.OnStop();
    EXPECT_EQ(card.Count("C@4"), 1);
}

// The modem status, row by row of its table.
TEST_F(ControllerTest, ModemStatusRows) {
    struct Row {
        std::uint32_t modem, controlMdm, controller;
        ModemProbe probe;
        std::string text;
        StatusColour colour;
    } rows[] = {
        {0, 1, 0, {}, " modem control off.", kNeutral},
        {0, 0, 0, {}, " modem port not set!", kFault},
        {6, 1, 0, {}, " modem control off.", kNeutral},
        {6, 0, 1, {}, " modem control off.", kNeutral},
        {6, 0, 0, {false, true}, " port 6 busy.", kNeutral},
        {6, 0, 0, {false, false}, " modem dead!", kFault},
        {6, 0, 0, {true, false}, " modem works on 6.", kWorking},
    };
    for (const Row& row : rows) {
        settings.Modem = row.modem;
        settings.ControlMdm = row.controlMdm;
        settings.Controller = row.controller;
        system.modems[6] = row.probe;
        logic.modemSettingsChanged = true;
        logic.OnTimeout();
        EXPECT_EQ(Modem(), row.text) << row.text;
        EXPECT_EQ(logic.ModemStatus().Colour(), row.colour) << row.text;
    }
    EXPECT_TRUE(system.logs.empty()) << "the refresh writes nothing to the log";
}

TEST_F(ControllerTest, ModemOnTheCardsPortIsRefused) {
    settings.Modem = 4;
    settings.ControlMdm = 0;
    Running();  // the card is found on 4
    logic.modemSettingsChanged = true;
    logic.OnTimeout();
    EXPECT_EQ(Modem(), " modem port wrong!");
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(card.Count("M@4"), 0);
    EXPECT_EQ(std::count(system.logs.begin(), system.logs.end(), "checking modem..."), 0);
}

TEST_F(ControllerTest, RefreshIsDueEverySixthTimeout) {
    settings.Modem = 6;
    settings.ControlMdm = 0;
    system.modems[6] = {true, false};
    logic.OnTimeout();  // time-out 1: the flag starts raised, so it refreshes
    EXPECT_EQ(Modem(), " modem works on 6.");
    system.modems[6] = {false, false};
    for (int i = 2; i <= 5; ++i) logic.OnTimeout();
    EXPECT_EQ(Modem(), " modem works on 6.");
    logic.OnTimeout();  // time-out 6: the counter passed 5
    EXPECT_EQ(Modem(), " modem dead!");
    system.modems[6] = {true, false};
    for (int i = 7; i <= 11; ++i) logic.OnTimeout();
    EXPECT_EQ(Modem(), " modem dead!");
    logic.OnTimeout();  // time-out 12: every sixth from then on
    EXPECT_EQ(Modem(), " modem works on 6.");
}

class ModemCheckTest : public ControllerTest {
protected:
    void SetUp() override {
        settings.Modem = 6;
        settings.ControlMdm = 0;
        settings.MdmCheckTimeout = 1;
        Running();
        logic.OnTimeout();  // refresh: checks allowed
        system.logs.clear();
        system.waited = 0;
    }
    std::vector<std::string> Logs() const { return system.logs; }
};

TEST_F(ModemCheckTest, AnsweringModemIsLoggedAndNotCheckedAgainWithinTheInterval) {
    system.modems[6] = {true, false};
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(Logs(), (std::vector<std::string>{"checking modem...", "modem works on 6."}));
    system.now += 59'000;
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(Logs().size(), 2u);
    system.now += 2'000;
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(Logs().size(), 4u);
}

TEST_F(ModemCheckTest, HungModemIsResetThroughTheCard) {
    system.modemAnswersAfterReset = 6;
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(Logs(), (std::vector<std::string>{"checking modem...", "modem hang, reset!", "modem reset done."}));
    EXPECT_EQ(card.Count("M@4"), 1);
    EXPECT_EQ(system.waited, 2000u);
    EXPECT_EQ(Modem(), " modem reset done.");
    EXPECT_EQ(system.beeps, 0);
}

TEST_F(ModemCheckTest, ModemSilentAfterTheResetBeepsAndIsTriedAgainAtTheNextHeartbeat) {
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(Logs(), (std::vector<std::string>{"checking modem...", "modem hang, reset!", "modem dead!"}));
    EXPECT_EQ(system.beeps, 1);
    logic.OnCommand(kCheckModem);  // not a success: no interval to wait
    EXPECT_EQ(card.Count("M@4"), 2);
}

TEST_F(ModemCheckTest, CardNotAnsweringTheResetBeepsTwice) {
    card.answers = false;  // the card's port is still open, but it says nothing
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(Logs(), (std::vector<std::string>{"checking modem...", "modem hang, reset!", "modem reset failed!",
                                                "modem dead!"}));
    EXPECT_EQ(system.beeps, 2);
    EXPECT_EQ(system.waited, 3000u);
    EXPECT_EQ(Modem(), " modem dead!");
}

TEST_F(ModemCheckTest, ADeadModemIsCheckedForMonths) {
    system.modems[6] = {true, false};
    logic.OnCommand(kCheckModem);  // works: the next check waits an interval
    system.modems[6] = {false, false};
    system.now += 61'000;
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(card.Count("M@4"), 1);
    // Still dead 24.8 days later: past that span the last good check no
    // longer compares as long ago, yet the checks go on.
    system.now += 0x80000000u;
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(card.Count("M@4"), 2);
}

TEST_F(ModemCheckTest, BusyPortCountsAsACheck) {
    system.modems[6] = {false, true};
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(Logs(), (std::vector<std::string>{"checking modem...", "port 6 busy."}));
    EXPECT_EQ(card.Count("M@4"), 0);
    logic.OnCommand(kCheckModem);
    EXPECT_EQ(Logs().size(), 2u) << "the next check waits a full interval";
}

TEST_F(ModemCheckTest, ForcedResetGoesThroughTheCard) {
    logic.OnCommand(kForceModemReset);
    EXPECT_EQ(Logs(), (std::vector<std::string>{"forced modem reset...", "modem reset done."}));
    EXPECT_EQ(card.Count("M@4"), 1);
    EXPECT_EQ(system.beeps, 0);

    system.now += kForcedResetSpacingMs;
    settings.Modem = 0;  // no modem port: an error, and a beep
    logic.OnCommand(kForceModemReset);
    EXPECT_EQ(Logs().back(), "modem reset failed!");
    EXPECT_EQ(Modem(), " modem reset failed!");
    EXPECT_EQ(system.beeps, 1);
    EXPECT_EQ(card.Count("M@4"), 1);

    system.now += kForcedResetSpacingMs;
    settings.Modem = 6;
    settings.ControlMdm = 1;  // modem supervision off: the order is ignored
    const size_t before = Logs().size();
    logic.OnCommand(kForceModemReset);
    EXPECT_EQ(Logs().size(), before);
}

// However many programs ask, the modem is reset at most once in 30 s, and a
// burst of refused requests leaves one log line.
TEST_F(ModemCheckTest, ForcedResetsAreSpacedAndRefusalsLoggedOncePerBurst) {
    for (int i = 0; i < 25; ++i) {
        logic.OnCommand(kForceModemReset);
        system.now += 800;
    }
    EXPECT_EQ(card.Count("M@4"), 1);
    EXPECT_EQ(std::count(system.logs.begin(), system.logs.end(), "forced modem reset..."), 1);
    EXPECT_EQ(std::count(system.logs.begin(), system.logs.end(), "reset refused: too soon"), 1);
    system.now += kForcedResetSpacingMs;
    logic.OnCommand(kForceModemReset);
    EXPECT_EQ(card.Count("M@4"), 2);
    logic.OnCommand(kForceModemReset);
    EXPECT_EQ(std::count(system.logs.begin(), system.logs.end(), "reset refused: too soon"), 2)
        << "a new burst, a new line";
}

// The controller as its thread runs it, with the time exchanges take: the
// time-outs every period, and the commands it posts itself in between.
class TimedControllerTest : public ModemCheckTest {
protected:
    void SetUp() override {
        card.clock = &system.now;
        card.exchangeMs = 150;
        system.silentProbeMs = 4000;
        ModemCheckTest::SetUp();
        system.posted.clear();
    }
    void RunFor(std::uint32_t milliseconds) {
        const Tick end = system.now + milliseconds;
        Tick deadline = system.now + kControllerPeriodMs;
        while (TickBefore(system.now, end)) {
            if (!system.posted.empty()) {
                const int code = system.posted.front();
                system.posted.erase(system.posted.begin());
                logic.OnCommand(code);
                continue;
            }
            if (TickBefore(system.now, deadline)) system.now = deadline;
            logic.OnTimeout();
            deadline = system.now + kControllerPeriodMs;
        }
    }
};

// A modem that never answers: every check probes (4 s), resets, pauses and
// probes again, and the modem's status is probed every 15 s; the card still
// hears from the controller within one period and one heartbeat.
TEST_F(TimedControllerTest, ADeadModemNeverStarvesTheCard) {
    const Tick start = system.now;
    RunFor(120000);
    EXPECT_GE(card.Count("M@4"), 5) << "the modem was checked and reset again and again";
    EXPECT_LE(card.LongestGap(start), static_cast<std::int32_t>(kControllerPeriodMs + 2 * card.exchangeMs + 50));
    // The checks' steps and lines are those of a check without the feeding.
    EXPECT_EQ(std::vector<std::string>(system.logs.begin(), system.logs.begin() + 3),
              (std::vector<std::string>{"checking modem...", "modem hang, reset!", "modem dead!"}));
}

TEST(ControllerTexts, NumbersFillBothFormats) {
    EXPECT_EQ(FormatWithNumber("COM%0d!", 5), "COM5!");
    EXPECT_EQ(FormatWithNumber("No %0ld.", 12), "No 12.");
    EXPECT_EQ(FormatWithNumber("plain", 3), "plain");
}

}  // namespace
}  // namespace mrwd
