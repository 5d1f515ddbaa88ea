#include "device_model.h"

#include <cstdlib>

namespace mrwd::cardsim {

bool ParseFault(const std::string& name, Fault& fault) {
    static const struct {
        const char* name;
        Fault fault;
    } kNames[] = {{"none", Fault::None},           {"silent", Fault::Silent},     {"slow", Fault::Slow},
                  {"lowercase", Fault::Lowercase}, {"embedded", Fault::Embedded}, {"long-line", Fault::LongLine},
                  {"echo", Fault::Echo}};
    for (const auto& known : kNames) {
        if (name == known.name) {
            fault = known.fault;
            return true;
        }
    }
    return false;
}

std::vector<Output> LineDevice::Receive(char byte, std::uint64_t nowMs) {
    std::vector<Output> out;
    if (fault == Fault::Echo) out.push_back(Output{nowMs, std::string(1, byte)});
    if (byte == '\n') return out;
    if (byte != '\r') {
        line_ += byte;
        return out;
    }
    const std::string command = line_;
    line_.clear();
    commands.push_back(command);
    std::string reply = Answer(command, nowMs);
    if (reply.empty() || fault == Fault::Silent) return out;

    switch (fault) {
        case Fault::Lowercase:
            for (char& c : reply) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            break;
        case Fault::Embedded:
            reply = "xx" + reply + "xx";
            break;
        case Fault::LongLine:
            reply = std::string(70, 'x') + reply;
            break;
        default:
            break;
    }
    const std::uint64_t at = fault == Fault::Slow ? nowMs + slowReplyMs : nowMs;
    out.push_back(Output{at, reply + "\r\n"});
    return out;
}

std::vector<Output> LineDevice::Unprompted(std::uint64_t nowMs) {
    if (!chatter) {
        nextChatterMs_ = 0;  // switched on again later, it starts at once
        return {};
    }
    if (nextChatterMs_ != 0 && nowMs < nextChatterMs_) return {};
    nextChatterMs_ = nowMs + chatterEveryMs;
    return {Output{nowMs, kChatterLine}};
}

std::string ModemDevice::Answer(const std::string& command, std::uint64_t) {
    if (hung) return std::string();
    return command == "AT" ? "OK" : "ERROR";
}

std::string CardDevice::Answer(const std::string& command, std::uint64_t nowMs) {
    if (command == "?") return "MR WD simulated card 1.0";
    if (command == "O" || (!command.empty() && command[0] == 'T')) {
        if (command[0] == 'T') timeoutSeconds_ = std::strtoull(command.c_str() + 1, nullptr, 10);
        // Every part of a heartbeat starts the count-down afresh.
        if (timeoutSeconds_ != 0) deadlineMs_ = nowMs + timeoutSeconds_ * 1000;
    } else if (command == "C") {
        deadlineMs_ = 0;  // released: the card stops watching
    } else if (command == "R") {
        resetOrdered_ = true;
    } else if (command == "M") {
        if (modem_ != nullptr) modem_->Reset();
    }
    return "OK";
}

bool CardDevice::ResetDue(std::uint64_t nowMs, std::string& why) {
    if (resetOrdered_) {
        resetOrdered_ = false;
        deadlineMs_ = 0;
        why = "reset ordered (R)";
        return true;
    }
    if (deadlineMs_ != 0 && nowMs >= deadlineMs_) {
        deadlineMs_ = 0;  // the computer restarts: nothing to watch until the next heartbeat
        why = "heartbeats stopped for " + std::to_string(timeoutSeconds_) + " s";
        return true;
    }
    return false;
}

}  // namespace mrwd::cardsim
