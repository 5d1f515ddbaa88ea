// The engine's log lines and mails decided while the shared tables are
// locked, held back until the lock is released.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "supervision/core/engine_system.h"

namespace mrwd {

// Writing a log line may wait on the log file and a mail on the mail lock:
// neither may happen under the table lock. Whatever is still held goes out
// when the object ends, which a scope declaring it before its lock does
// after the lock.
class DeferredEvents {
public:
    explicit DeferredEvents(EngineSystem& system) : system_(system) {}
    ~DeferredEvents() { Flush(); }
    DeferredEvents(const DeferredEvents&) = delete;
    DeferredEvents& operator=(const DeferredEvents&) = delete;

    void Log(EngineEvent event, std::uint32_t number, const std::string& path) {
        items_.push_back(Item{true, event, EngineNotice::ProgramRestart, number, path});
    }
    void Notify(EngineNotice notice, std::uint32_t number, const std::string& path) {
        items_.push_back(Item{false, EngineEvent::ProcessRegistered, notice, number, path});
    }
    void Flush() {
        for (const Item& item : items_) {
            if (item.isLog) {
                system_.Log(item.event, item.number, item.path);
            } else {
                system_.Notify(item.notice, item.number, item.path, false);
            }
        }
        items_.clear();
    }

private:
    struct Item {
        bool isLog;
        EngineEvent event;
        EngineNotice notice;
        std::uint32_t number;
        std::string path;
    };
    EngineSystem& system_;
    std::vector<Item> items_;
};

}  // namespace mrwd
