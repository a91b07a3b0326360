#pragma once

#include "Decision.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <semaphore>

/// The mailbox between a blocked connection thread and the main thread: the first decision wins.
class GateBox final {
public:
    GateBox() = default;
    GateBox(const GateBox&) = delete;
    GateBox& operator=(const GateBox&) = delete;

    /// Any thread. Stores the decision and wakes the waiter, unless one was stored already.
    void resolve(const Vorlix::Decision& decision);
    /// Blocks until resolved or the time is up; always returns a decision (a deny when nothing was stored).
    Vorlix::Decision wait(std::chrono::duration<double> timeout);
    /// The stored decision, if any (for tests and diagnostics).
    std::optional<Vorlix::Decision> decision() const;

    static constexpr const char* timeoutMessage = "Vorlix Agents: no response, denied by default";
    static constexpr const char* internalErrorMessage = "Vorlix Agents: internal error, denied for safety";

private:
    std::counting_semaphore<> m_sem{0};
    mutable std::mutex m_lock;
    std::optional<Vorlix::Decision> m_decision;
};
