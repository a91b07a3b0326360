#pragma once

#include "Decision.h"

#include <chrono>
#include <mutex>
#include <optional>

/// The mailbox between a blocked connection thread and the main thread: the first word wins. One waiter.
class GateBox final {
public:
    GateBox() = default;
    GateBox(const GateBox&) = delete;
    GateBox& operator=(const GateBox&) = delete;

    /// Any thread. Stores the decision and wakes the waiter. False when the box had already closed: decided,
    /// left to the agent, timed out or its bridge gone; the decision then reaches nobody.
    bool resolve(const Vorlix::Decision& decision);
    /// Any thread. Nobody here can answer: the waiter returns without a decision, so the agent asks itself.
    void leaveToAgent();
    /// Blocks until resolved, left to the agent, the time is up or (with a peer descriptor) the peer hangs up.
    /// A decision to send (the default deny on time-out), or nothing when there is nobody or nothing to tell.
    std::optional<Vorlix::Decision> wait(std::chrono::duration<double> timeout, int peerFD = -1);
    /// Still waiting for a word: not decided, not left to the agent, its waiter not gone.
    bool isOpen() const;
    /// The stored decision, if any (for tests and diagnostics).
    std::optional<Vorlix::Decision> decision() const;

    static constexpr const char* timeoutMessage = "Vorlix Agents: no response, denied by default";
    static constexpr const char* internalErrorMessage = "Vorlix Agents: internal error, denied for safety";

private:
    bool close();

    mutable std::mutex m_lock;
    // The waiter's connection while it waits. Closing the box shuts its reading side, which wakes the waiter's
    // poll without costing a descriptor per gate; the reply can still be written. Guarded by m_lock, so it is
    // never touched after the waiter has left and its descriptor may belong to someone else.
    int m_peerFD = -1;
    bool m_open = true;
    std::optional<Vorlix::Decision> m_decision;
};
