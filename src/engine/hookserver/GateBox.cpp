#include "hookserver/GateBox.h"

void GateBox::resolve(const Vorlix::Decision& decision) {
    std::lock_guard guard(m_lock);
    if (m_decision)
        return;
    m_decision = decision;
    m_sem.release();
}

Vorlix::Decision GateBox::wait(std::chrono::duration<double> timeout) {
    // try_acquire_until with a huge deadline can overflow; clamp to something no gate reaches.
    const auto limit = std::min(timeout, std::chrono::duration<double>(std::chrono::hours(24 * 365)));
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(limit);
    bool signalled = false;
    while (!signalled) {
        signalled = m_sem.try_acquire_until(deadline);
        if (!signalled && std::chrono::steady_clock::now() >= deadline)
            break;
    }
    std::lock_guard guard(m_lock);
    if (m_decision)
        return *m_decision;
    return {Vorlix::Behavior::deny, std::string(signalled ? internalErrorMessage : timeoutMessage)};
}

std::optional<Vorlix::Decision> GateBox::decision() const {
    std::lock_guard guard(m_lock);
    return m_decision;
}
