#include "hookserver/GateBox.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <poll.h>
#include <sys/socket.h>

namespace {
// Without a connection to wake it, the waiter looks at the box this often.
constexpr int unwatchedPollMs = 50;
// poll() takes an int of milliseconds: wait in slices no gate notices.
constexpr double sliceMs = 3600.0 * 1000.0;
} // namespace

bool GateBox::close() {
    if (!m_open)
        return false;
    m_open = false;
    if (m_peerFD >= 0)
        ::shutdown(m_peerFD, SHUT_RD);
    return true;
}

bool GateBox::resolve(const Vorlix::Decision& decision) {
    std::lock_guard guard(m_lock);
    if (!m_open)
        return false;
    m_decision = decision;
    return close();
}

void GateBox::leaveToAgent() {
    std::lock_guard guard(m_lock);
    close();
}

std::optional<Vorlix::Decision> GateBox::wait(std::chrono::duration<double> timeout, int peerFD) {
    using Clock = std::chrono::steady_clock;
    // Clamp before adding: a huge time-out would overflow the deadline; nothing waits a year.
    const auto limit = std::min(timeout, std::chrono::duration<double>(std::chrono::hours(24 * 365)));
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(limit);
    enum class End { woken, timedOut, hungUp, failed } end = End::woken;
    {
        std::lock_guard guard(m_lock);
        m_peerFD = peerFD;
    }
    for (;;) {
        {
            std::lock_guard guard(m_lock);
            // Whoever closed the box also shut the reading side: the wake-up below is theirs, not a hang-up.
            if (!m_open)
                break;
        }
        const double remaining = std::chrono::duration<double, std::milli>(deadline - Clock::now()).count();
        if (remaining <= 0) {
            end = End::timedOut;
            break;
        }
        int slice = static_cast<int>(std::ceil(std::min(remaining, sliceMs)));
        if (peerFD < 0)
            slice = std::min(slice, unwatchedPollMs);
        // POLLRDHUP and POLLHUP are how a vanished bridge shows; bytes it might send are not our business.
        pollfd peer{peerFD, POLLRDHUP, 0};
        const int ready = ::poll(&peer, 1, slice);
        if (ready < 0 && errno != EINTR) {
            end = End::failed;
            break;
        }
        if (ready > 0 && (peer.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
            std::lock_guard guard(m_lock);
            if (m_open) {
                // From here on a decision would reach nobody.
                m_open = false;
                end = End::hungUp;
            }
            break;
        }
    }
    std::lock_guard guard(m_lock);
    m_peerFD = -1;
    // A decision stored while the wait was ending still wins.
    if (m_decision)
        return m_decision;
    if (!m_open)
        return std::nullopt; // left to the agent, or its bridge is gone
    // The waiter is leaving: a decision from now on would reach nobody.
    m_open = false;
    return Vorlix::Decision{Vorlix::Behavior::deny,
                            std::string(end == End::timedOut ? timeoutMessage : internalErrorMessage)};
}

bool GateBox::isOpen() const {
    std::lock_guard guard(m_lock);
    return m_open;
}

std::optional<Vorlix::Decision> GateBox::decision() const {
    std::lock_guard guard(m_lock);
    return m_decision;
}
