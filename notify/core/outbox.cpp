#include "outbox.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace mrwd {
namespace {

constexpr char kMagic[] = "mrwd outbox 1\r\n";
constexpr char kSuffix[] = ".mail";
// The pauses after the first, second, ... failed round; hourly after them.
constexpr std::int64_t kPausesSeconds[] = {60, 120, 300, 600, 1800};
constexpr std::int64_t kLongestPauseSeconds = 3600;

void PutNumber(std::string& out, const char* name, std::uint64_t value) {
    out += name;
    out += ' ';
    out += std::to_string(value);
    out += "\r\n";
}

void PutText(std::string& out, const char* name, const std::string& text) {
    PutNumber(out, name, text.size());
    out += text;
    out += "\r\n";
}

// Reads the files' lines back; any surprise makes the whole file count as damaged.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}

    bool Literal(const std::string& text) {
        if (bytes_.compare(at_, text.size(), text) != 0) return false;
        at_ += text.size();
        return true;
    }
    // "name N\r\n"
    std::optional<std::uint64_t> Number(const char* name) {
        if (!Literal(std::string(name) + " ")) return std::nullopt;
        const std::size_t end = bytes_.find("\r\n", at_);
        if (end == std::string::npos || end == at_ || end - at_ > 20) return std::nullopt;
        std::uint64_t value = 0;
        for (std::size_t i = at_; i < end; ++i) {
            if (bytes_[i] < '0' || bytes_[i] > '9') return std::nullopt;
            value = value * 10 + static_cast<std::uint64_t>(bytes_[i] - '0');
        }
        at_ = end + 2;
        return value;
    }
    std::optional<std::string> Text(const char* name) {
        const std::optional<std::uint64_t> size = Number(name);
        if (!size || *size > bytes_.size() - at_) return std::nullopt;
        std::string text = bytes_.substr(at_, static_cast<std::size_t>(*size));
        at_ += static_cast<std::size_t>(*size);
        if (!Literal("\r\n")) return std::nullopt;
        return text;
    }
    bool Next(const char* name) const { return bytes_.compare(at_, std::string(name).size(), name) == 0; }
    bool AtEnd() const { return at_ == bytes_.size(); }

private:
    const std::string& bytes_;
    std::size_t at_ = 0;
};

}  // namespace

std::string EncodeOutboxMail(const OutboxMail& mail) {
    std::string out = kMagic;
    PutNumber(out, "number", mail.number);
    PutNumber(out, "raised", static_cast<std::uint64_t>(mail.raisedAt < 0 ? 0 : mail.raisedAt));
    PutText(out, "subject", mail.subject);
    PutText(out, "body", mail.body);
    for (const std::string& path : mail.attachments) PutText(out, "attachment", path);
    out += "end\r\n";
    return out;
}

std::optional<OutboxMail> DecodeOutboxMail(const std::string& bytes) {
    Reader in(bytes);
    OutboxMail mail;
    if (!in.Literal(kMagic)) return std::nullopt;
    const std::optional<std::uint64_t> number = in.Number("number");
    const std::optional<std::uint64_t> raised = number ? in.Number("raised") : std::nullopt;
    std::optional<std::string> subject = raised ? in.Text("subject") : std::nullopt;
    std::optional<std::string> body = subject ? in.Text("body") : std::nullopt;
    if (!body) return std::nullopt;
    mail.number = *number;
    mail.raisedAt = static_cast<std::int64_t>(*raised);
    mail.subject = std::move(*subject);
    mail.body = std::move(*body);
    while (in.Next("attachment ")) {
        std::optional<std::string> path = in.Text("attachment");
        if (!path) return std::nullopt;
        mail.attachments.push_back(std::move(*path));
    }
    if (!in.Literal("end\r\n") || !in.AtEnd()) return std::nullopt;
    return mail;
}

std::string OutboxFileName(std::uint64_t number) {
    char name[40];
    std::snprintf(name, sizeof name, "%020llu%s", static_cast<unsigned long long>(number), kSuffix);
    return name;
}

SendVerdict JudgeSend(bool sent, MailStep failedStep, int replyCode) {
    if (sent) return SendVerdict::Sent;
    const bool permanent = replyCode >= 500 && replyCode < 600;
    switch (failedStep) {
        case MailStep::Attachment: return SendVerdict::Refused;
        case MailStep::Message: return permanent ? SendVerdict::Refused : SendVerdict::TryLater;
        case MailStep::Authentication: return permanent ? SendVerdict::AuthRefused : SendVerdict::TryLater;
        default: return SendVerdict::TryLater;
    }
}

void Outbox::Load(std::int64_t now) {
    std::vector<Entry> found;
    for (const std::string& name : folder_.Names()) {
        std::string bytes;
        std::optional<OutboxMail> mail;
        if (folder_.Read(name, bytes)) mail = DecodeOutboxMail(bytes);
        if (!mail || OutboxFileName(mail->number) != name) {
            folder_.Remove(name);  // not a whole mail of ours: nothing to send
            continue;
        }
        mail->triedBefore = true;  // it was kept because it could not go then
        found.push_back({std::move(*mail), bytes.size()});
    }
    std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) { return a.mail.number < b.mail.number; });
    for (Entry& entry : found) {
        nextNumber_ = std::max(nextNumber_, entry.mail.number + 1);
        mails_.push_back(std::move(entry));
    }
    nextTry_ = now;
}

std::uint64_t Outbox::Add(OutboxMail mail, std::int64_t now) {
    mail.number = nextNumber_++;
    mail.raisedAt = now;
    const std::string bytes = EncodeOutboxMail(mail);
    // Without its file the mail is still sent from memory; only a restart loses it.
    folder_.Write(OutboxFileName(mail.number), bytes);
    mails_.push_back({std::move(mail), bytes.size()});
    while (mails_.size() > kMaxMails || (mails_.size() > 1 && Bytes() > kMaxBytes)) Drop(DropReason::Full);
    return mails_.back().mail.number;
}

const OutboxMail* Outbox::Oldest(std::int64_t now) {
    while (!mails_.empty() && now - mails_.front().mail.raisedAt > kMaxAgeSeconds) Drop(DropReason::TooOld);
    return mails_.empty() ? nullptr : &mails_.front().mail;
}

void Outbox::Settle(std::uint64_t number, SendVerdict verdict, std::int64_t now) {
    // Dropped meanwhile (a full outbox at the server's end): its try no longer counts.
    if (mails_.empty() || mails_.front().mail.number != number) return;
    switch (verdict) {
        case SendVerdict::Sent:
            if (mails_.front().mail.triedBefore) events_.SentFromOutbox(mails_.front().mail);
            folder_.Remove(OutboxFileName(mails_.front().mail.number));
            mails_.pop_front();
            ++sent_;
            failedRounds_ = 0;
            return;
        case SendVerdict::Refused:
            Drop(DropReason::Refused);
            return;
        case SendVerdict::TryLater:
        case SendVerdict::AuthRefused:
            for (Entry& entry : mails_) {
                if (!entry.mail.triedBefore) events_.Kept(entry.mail);
                entry.mail.triedBefore = true;
            }
            nextTry_ = now + (failedRounds_ < std::size(kPausesSeconds) ? kPausesSeconds[failedRounds_]
                                                                         : kLongestPauseSeconds);
            ++failedRounds_;
            return;
    }
}

void Outbox::Drop(DropReason reason) {
    events_.Dropped(mails_.front().mail, reason);
    folder_.Remove(OutboxFileName(mails_.front().mail.number));
    mails_.pop_front();
    ++dropped_;
}

std::size_t Outbox::Bytes() const {
    std::size_t total = 0;
    for (const Entry& entry : mails_) total += entry.bytes;
    return total;
}

}  // namespace mrwd
