// The engine's walk over a table it shares with the user-interface thread:
// one entry per hold of the lock, the acting done with the lock released.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <type_traits>

#include "supervision/core/deferred_events.h"
#include "supervision/core/engine_system.h"
#include "supervision/core/module_list.h"

namespace mrwd {

// Where a walk pauses (EngineSystem::Pause): before each entry it looks at,
// or only before each one it acts on, the entries passed over meanwhile
// being looked at within one hold of the lock.
enum class PauseBefore { EachEntry, EachAction };

// How a walk goes on after acting on an entry.
enum class WalkOn { Next, FromStart };

// The entry after `key`. A walk resumes there once it has taken the lock
// again, so entries added or removed meanwhile neither end it nor are
// visited twice.
template <typename Map>
typename Map::iterator EntryAfter(Map& map, const typename Map::key_type& key) {
    return map.upper_bound(key);
}
inline ModuleList::Map::iterator EntryAfter(ModuleList& list, const std::string& key) { return list.After(key); }

// Walks `table` from its first entry. Each step takes `lock`, finds the
// entry after the previous one and lets `look` copy what acting on it needs
// (nothing: it is passed over), then releases the lock, sends what `look`
// logged or mailed, and lets `act` act on the copy; `act` may send the walk
// back to the first entry. False when a pause ended the walk (supervision
// off or the server stopping), true at the end of the table.
template <typename Table, typename Look, typename Act>
bool WalkSharedTable(EngineSystem& system, std::mutex& lock, Table& table, PauseBefore pause, Look look, Act act) {
    using Iterator = decltype(table.begin());
    using Key = std::remove_const_t<typename Iterator::value_type::first_type>;
    using Copy = typename std::invoke_result_t<Look&, Iterator, DeferredEvents&>::value_type;
    Key cursor{};
    bool first = true;
    for (;;) {
        if (pause == PauseBefore::EachEntry && !system.Pause()) return false;
        DeferredEvents events(system);  // declared before the lock: sent after it
        std::optional<Copy> copy;
        {
            std::unique_lock<std::mutex> held(lock);
            for (;;) {
                const Iterator it = first ? table.begin() : EntryAfter(table, cursor);
                if (it == table.end()) return true;
                first = false;
                cursor = it->first;
                // `look` may erase the entry: `it` is not used after it.
                copy = look(it, events);
                if (copy || pause == PauseBefore::EachEntry) break;
            }
        }
        events.Flush();
        if (!copy) continue;
        if (pause == PauseBefore::EachAction && !system.Pause()) return false;
        if (act(*copy) == WalkOn::FromStart) first = true;
    }
}

}  // namespace mrwd
