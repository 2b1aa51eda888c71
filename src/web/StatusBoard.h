#pragma once

#include "face/CoreState.h"

#include <memory>
#include <mutex>
#include <string>

namespace quorvane {

// The latest state the core published, held for the web's status and metrics answers, with
// its JSON made once per change. Like the pages, a reply never waits for the core thread.
// Thread safety: Publish on the core thread; Latest from any thread.
class StatusBoard {
public:
    struct Published {
        CoreState State;
        std::string Json; // StateJson of State
    };

    StatusBoard();

    void Publish(const CoreState& state);
    [[nodiscard]] std::shared_ptr<const Published> Latest() const;

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<const Published> m_latest; // guarded by m_mutex
};

} // namespace quorvane
