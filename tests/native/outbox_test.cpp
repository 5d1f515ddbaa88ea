// The outbox's decisions with a folder in memory and a clock moved by hand.
#include "notify/core/outbox.h"

#include <gtest/gtest.h>

#include <map>

namespace mrwd {
namespace {

class MemoryFolder : public OutboxFolder {
public:
    std::map<std::string, std::string> files;
    bool writable = true;
    std::vector<std::string> Names() override {
        std::vector<std::string> names;
        for (const auto& file : files) names.push_back(file.first);
        return names;
    }
    bool Read(const std::string& name, std::string& bytes) override {
        auto it = files.find(name);
        if (it == files.end()) return false;
        bytes = it->second;
        return true;
    }
    bool Write(const std::string& name, const std::string& bytes) override {
        if (writable) files[name] = bytes;
        return writable;
    }
    void Remove(const std::string& name) override { files.erase(name); }
};

// The log lines, as "kept A", "sent A", "dropped A old|full|refused".
class RecordedEvents : public OutboxEvents {
public:
    std::vector<std::string> lines;
    void Kept(const OutboxMail& mail) override { lines.push_back("kept " + mail.body); }
    void SentFromOutbox(const OutboxMail& mail) override { lines.push_back("sent " + mail.body); }
    void Dropped(const OutboxMail& mail, DropReason reason) override {
        static const char* const kReasons[] = {"old", "full", "refused"};
        lines.push_back("dropped " + mail.body + " " + kReasons[static_cast<int>(reason)]);
    }
};

OutboxMail Mail(const std::string& body) {
    OutboxMail mail;
    mail.subject = "Сбой";
    mail.body = body;
    return mail;
}

class OutboxTest : public ::testing::Test {
protected:
    // Settles the try of the oldest mail.
    void Settle(SendVerdict verdict, std::int64_t at) {
        const OutboxMail* oldest = outbox.Oldest(at);
        ASSERT_NE(oldest, nullptr);
        outbox.Settle(oldest->number, verdict, at);
    }
    std::string OldestBody() {
        const OutboxMail* mail = outbox.Oldest(now);
        return mail != nullptr ? mail->body : "(none)";
    }
    MemoryFolder folder;
    RecordedEvents events;
    Outbox outbox{folder, events};
    std::int64_t now = 1765000000;
};

TEST(OutboxFile, RoundTripAndDamagedFiles) {
    OutboxMail mail = Mail("line one\r\n\tline two\r\n\r\n--\r\n");
    mail.number = 42;
    mail.raisedAt = 1765000000;
    mail.subject = std::string("\xC6\xF3\xF0\xED\xE0\xEB\0end", 10);
    mail.attachments = {"C:\\Watch\\Logs\\07-12-26.txt", "D:\\other file.txt"};
    const std::string bytes = EncodeOutboxMail(mail);
    const std::optional<OutboxMail> back = DecodeOutboxMail(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->number, 42u);
    EXPECT_EQ(back->raisedAt, 1765000000);
    EXPECT_EQ(back->subject, mail.subject);
    EXPECT_EQ(back->body, mail.body);
    EXPECT_EQ(back->attachments, mail.attachments);
    EXPECT_EQ(OutboxFileName(42), "00000000000000000042.mail");
    // Every cut-short file, and a few changed ones, is no mail.
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        EXPECT_FALSE(DecodeOutboxMail(bytes.substr(0, size)).has_value()) << size;
    }
    EXPECT_FALSE(DecodeOutboxMail(bytes + "x").has_value());
    std::string longer = bytes;
    const std::string size = "body " + std::to_string(mail.body.size());
    longer.replace(longer.find(size), size.size(), "body 99");
    EXPECT_FALSE(DecodeOutboxMail(longer).has_value());
}

TEST(OutboxVerdict, WhatMayGoLaterAndWhatNever) {
    const struct {
        bool sent;
        MailStep step;
        int code;
        SendVerdict verdict;
    } cases[] = {
        {true, MailStep::None, 0, SendVerdict::Sent},
        {false, MailStep::Connect, 0, SendVerdict::TryLater},      // no connection, time-out, TLS
        {false, MailStep::Connect, 554, SendVerdict::TryLater},    // a server that greets with a refusal today
        {false, MailStep::Connect, 454, SendVerdict::TryLater},    // STARTTLS refused for now
        {false, MailStep::Authentication, 0, SendVerdict::TryLater},
        {false, MailStep::Authentication, 454, SendVerdict::TryLater},
        {false, MailStep::Authentication, 535, SendVerdict::AuthRefused},
        {false, MailStep::Message, 0, SendVerdict::TryLater},      // the connection broke
        {false, MailStep::Message, 451, SendVerdict::TryLater},
        {false, MailStep::Message, 452, SendVerdict::TryLater},
        {false, MailStep::Message, 550, SendVerdict::Refused},
        {false, MailStep::Message, 554, SendVerdict::Refused},
        {false, MailStep::Attachment, 0, SendVerdict::Refused},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeSend(c.sent, c.step, c.code), c.verdict)
            << "step " << static_cast<int>(c.step) << " code " << c.code;
    }
}

TEST_F(OutboxTest, MailsGoInTheOrderRaisedAndRefusedOnesAreDropped) {
    outbox.Add(Mail("A"), now);
    outbox.Add(Mail("B"), now);
    outbox.Add(Mail("C"), now);
    EXPECT_EQ(folder.files.size(), 3u);
    EXPECT_EQ(OldestBody(), "A");
    Settle(SendVerdict::TryLater, now);
    EXPECT_EQ(events.lines, (std::vector<std::string>{"kept A", "kept B", "kept C"}));
    EXPECT_FALSE(outbox.Due(now + 59));
    ASSERT_TRUE(outbox.Due(now + 60));
    now += 60;
    EXPECT_EQ(OldestBody(), "A");
    Settle(SendVerdict::Sent, now);
    EXPECT_EQ(OldestBody(), "B");
    Settle(SendVerdict::Refused, now);
    EXPECT_EQ(OldestBody(), "C");
    Settle(SendVerdict::Sent, now);
    EXPECT_EQ(OldestBody(), "(none)");
    EXPECT_EQ(events.lines,
              (std::vector<std::string>{"kept A", "kept B", "kept C", "sent A", "dropped B refused", "sent C"}));
    EXPECT_TRUE(folder.files.empty()) << "a file goes only with its mail";
    const OutboxCounts counts = outbox.Counts();
    EXPECT_EQ(counts.kept, 0u);
    EXPECT_EQ(counts.sent, 2u);
    EXPECT_EQ(counts.dropped, 1u);

    // A mail sent at its first try is not "sent from the outbox".
    outbox.Add(Mail("D"), now);
    Settle(SendVerdict::Sent, now);
    EXPECT_EQ(events.lines.back(), "sent C");
}

TEST_F(OutboxTest, PausesGrowThenHourlyAndASendStartsThemAgain) {
    outbox.Add(Mail("A"), now);
    const std::int64_t expected[] = {60, 120, 300, 600, 1800, 3600, 3600};
    for (std::int64_t pause : expected) {
        Settle(SendVerdict::TryLater, now);
        EXPECT_EQ(outbox.SecondsToNextTry(now), pause);
        now += pause;
        EXPECT_TRUE(outbox.Due(now));
    }
    // A refused log-in waits like any other failure: new settings may mend it.
    Settle(SendVerdict::AuthRefused, now);
    EXPECT_EQ(outbox.SecondsToNextTry(now), 3600);
    EXPECT_EQ(outbox.Counts().kept, 1u);
    outbox.Add(Mail("B"), now);
    Settle(SendVerdict::Sent, now);
    Settle(SendVerdict::TryLater, now);
    EXPECT_EQ(outbox.SecondsToNextTry(now), 60);
}

TEST_F(OutboxTest, SevenDaysOldOrBeyondTheLimitsIsDroppedOldestFirst) {
    outbox.Add(Mail("old"), now);
    now += Outbox::kMaxAgeSeconds;
    outbox.Add(Mail("young"), now);
    EXPECT_EQ(OldestBody(), "old") << "exactly seven days is not older";
    now += 1;
    EXPECT_EQ(OldestBody(), "young");
    EXPECT_EQ(events.lines, std::vector<std::string>{"dropped old old"});

    for (std::size_t i = 0; i < Outbox::kMaxMails; ++i) outbox.Add(Mail(std::to_string(i)), now);
    EXPECT_EQ(outbox.Counts().kept, Outbox::kMaxMails);
    EXPECT_EQ(events.lines.back(), "dropped young full");
    EXPECT_EQ(folder.files.size(), Outbox::kMaxMails);
    // 20 MB: a few big bodies push the oldest out.
    outbox.Add(Mail(std::string(Outbox::kMaxBytes / 2, 'x')), now);
    outbox.Add(Mail(std::string(Outbox::kMaxBytes / 2, 'y')), now);
    EXPECT_LT(outbox.Counts().kept, 3u);
    EXPECT_EQ(OldestBody().substr(0, 1), "y");
}

TEST_F(OutboxTest, KeptMailsSurviveARestartInTheirOrder) {
    outbox.Add(Mail("first"), now);
    outbox.Add(Mail("second"), now);
    Settle(SendVerdict::TryLater, now);
    folder.files["00000000000000000007.mail"] = "mrwd outbox 1\r\nnum";  // damaged
    folder.files["00000000000000000009.mail"] = folder.files["00000000000000000001.mail"];  // named wrongly

    RecordedEvents laterEvents;
    Outbox later(folder, laterEvents);
    later.Load(now + 10);
    EXPECT_TRUE(later.Due(now + 10)) << "every start tries at once";
    ASSERT_NE(later.Oldest(now + 10), nullptr);
    EXPECT_EQ(later.Oldest(now + 10)->body, "first");
    EXPECT_EQ(folder.files.size(), 2u) << "what is no mail of ours is removed";
    later.Settle(later.Oldest(now + 10)->number, SendVerdict::Sent, now + 10);
    EXPECT_EQ(laterEvents.lines, std::vector<std::string>{"sent first"});
    EXPECT_EQ(later.Add(Mail("third"), now + 10), 3u) << "numbers go on after the kept ones";
}

TEST_F(OutboxTest, AMailWhoseFileCannotBeWrittenIsStillSent) {
    folder.writable = false;
    outbox.Add(Mail("A"), now);
    EXPECT_EQ(OldestBody(), "A");
    Settle(SendVerdict::Sent, now);
    EXPECT_TRUE(outbox.Empty());
}

TEST_F(OutboxTest, ATryOfAMailDroppedMeanwhileCountsForNothing) {
    outbox.Add(Mail("A"), now);
    const std::uint64_t tried = outbox.Oldest(now)->number;
    outbox.Add(Mail("B"), now);
    outbox.Settle(tried + 7, SendVerdict::Sent, now);
    EXPECT_EQ(OldestBody(), "A");
    outbox.Settle(tried, SendVerdict::Sent, now);
    EXPECT_EQ(OldestBody(), "B");
}

}  // namespace
}  // namespace mrwd
