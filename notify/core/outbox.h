// The outbox: every notification is kept in a file of its own until the
// server has answered its final dot, so that one that cannot go now (no
// connection, a time-out, a TLS failure, a 4xx reply) goes later, in the order
// the mails were raised, and survives a restart or a power cut. This part
// decides: what is kept, what is dropped, and when the next try is due. The
// files are reached through OutboxFolder, the clock is the caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "notify/core/smtp_client.h"

namespace mrwd {

struct OutboxMail {
    std::uint64_t number = 0;   // the order in which the mails were raised
    std::int64_t raisedAt = 0;  // seconds of the wall clock
    std::string subject;
    std::string body;
    std::vector<std::string> attachments;  // paths, read when the mail is sent
    bool triedBefore = false;   // a try failed already (in this run, or before a restart)
};

// One file's bytes, and back; nothing when the bytes are not a whole mail.
std::string EncodeOutboxMail(const OutboxMail& mail);
std::optional<OutboxMail> DecodeOutboxMail(const std::string& bytes);
// "00000000000000000042.mail": names sort in the order raised.
std::string OutboxFileName(std::uint64_t number);

class OutboxFolder {
public:
    virtual ~OutboxFolder() = default;
    // The names of the complete files, any order.
    virtual std::vector<std::string> Names() = 0;
    virtual bool Read(const std::string& name, std::string& bytes) = 0;
    // The whole file or, after a failure or a power cut, none.
    virtual bool Write(const std::string& name, const std::string& bytes) = 0;
    virtual void Remove(const std::string& name) = 0;
};

// How one try ended, from where it stopped and the server's reply there.
enum class SendVerdict {
    Sent,
    TryLater,     // no connection, a time-out, TLS, a 4xx reply, a refused greeting or hello
    Refused,      // a 5xx to this mail (sender, recipient, data), or a file it cannot attach: dropped
    AuthRefused,  // a 5xx to the log-in: the settings are wrong, every mail waits for new ones
};
SendVerdict JudgeSend(bool sent, MailStep failedStep, int replyCode);

enum class DropReason { TooOld, Full, Refused };

// What the outbox tells the log.
class OutboxEvents {
public:
    virtual ~OutboxEvents() = default;
    virtual void Kept(const OutboxMail& mail) = 0;
    virtual void SentFromOutbox(const OutboxMail& mail) = 0;
    virtual void Dropped(const OutboxMail& mail, DropReason reason) = 0;
};

struct OutboxCounts {
    std::size_t kept = 0;       // waiting now
    std::uint64_t sent = 0;     // sent since the start
    std::uint64_t dropped = 0;  // dropped since the start
};

class Outbox {
public:
    static constexpr std::int64_t kMaxAgeSeconds = 7 * 24 * 3600;
    static constexpr std::size_t kMaxMails = 500;
    static constexpr std::size_t kMaxBytes = 20 * 1024 * 1024;

    Outbox(OutboxFolder& folder, OutboxEvents& events) : folder_(folder), events_(events) {}

    // At start: the mails a former run kept, in the order raised (a file
    // that is not a whole mail is removed); a try is due at once.
    void Load(std::int64_t now);
    // A new mail: its file is written (or, when it cannot be, the mail is
    // kept in memory only), then the oldest are dropped beyond the limits.
    std::uint64_t Add(OutboxMail mail, std::int64_t now);

    // The oldest mail to try now, mails older than 7 days dropped first;
    // null when there is none.
    const OutboxMail* Oldest(std::int64_t now);
    // The outcome of the try of mail `number`, the oldest when it was taken
    // (nothing happens when it is no longer there). After TryLater and
    // AuthRefused the round is over: every mail waits for the next try
    // (1, 2, 5, 10, 30 minutes after the failures so far, then hourly).
    void Settle(std::uint64_t number, SendVerdict verdict, std::int64_t now);

    bool Empty() const { return mails_.empty(); }
    // A retry is due: mails wait and their pause is over.
    bool Due(std::int64_t now) const { return !mails_.empty() && now >= nextTry_; }
    // Seconds until Due, 0 when due now; meaningless while empty.
    std::int64_t SecondsToNextTry(std::int64_t now) const { return nextTry_ > now ? nextTry_ - now : 0; }
    OutboxCounts Counts() const { return {mails_.size(), sent_, dropped_}; }

private:
    struct Entry {
        OutboxMail mail;
        std::size_t bytes = 0;
    };
    void Drop(DropReason reason);  // the oldest
    std::size_t Bytes() const;

    OutboxFolder& folder_;
    OutboxEvents& events_;
    std::deque<Entry> mails_;
    std::uint64_t nextNumber_ = 1;
    std::int64_t nextTry_ = 0;
    std::size_t failedRounds_ = 0;
    std::uint64_t sent_ = 0;
    std::uint64_t dropped_ = 0;
};

}  // namespace mrwd
