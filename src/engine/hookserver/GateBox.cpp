#include "hookserver/GateBox.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// Without an eventfd the box is looked at this often.
constexpr int fallbackPollMs = 50;
// poll() takes an int of milliseconds: wait in slices no gate notices.
constexpr double sliceMs = 3600.0 * 1000.0;
} // namespace

GateBox::GateBox() : m_wakeFD(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

GateBox::~GateBox() {
    if (m_wakeFD >= 0)
        ::close(m_wakeFD);
}

bool GateBox::close() {
    if (!m_open)
        return false;
    m_open = false;
    if (m_wakeFD >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(m_wakeFD, &one, sizeof one);
    }
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
    for (;;) {
        {
            std::lock_guard guard(m_lock);
            if (!m_open)
                break;
        }
        const double remaining = std::chrono::duration<double, std::milli>(deadline - Clock::now()).count();
        if (remaining <= 0) {
            end = End::timedOut;
            break;
        }
        int slice = static_cast<int>(std::ceil(std::min(remaining, sliceMs)));
        if (m_wakeFD < 0)
            slice = std::min(slice, fallbackPollMs);
        // POLLRDHUP and POLLHUP are how a vanished bridge shows; bytes it might send are not our business.
        pollfd fds[2] = {{m_wakeFD, POLLIN, 0}, {peerFD, POLLRDHUP, 0}};
        const int ready = ::poll(fds, 2, slice);
        if (ready < 0 && errno != EINTR) {
            end = End::failed;
            break;
        }
        if (ready > 0 && (fds[1].revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
            end = End::hungUp;
            break;
        }
    }
    std::lock_guard guard(m_lock);
    // A decision stored while the wait was ending still wins.
    if (m_decision)
        return m_decision;
    if (!m_open)
        return std::nullopt; // left to the agent
    // The waiter is leaving: a decision from now on would reach nobody.
    m_open = false;
    if (end == End::hungUp)
        return std::nullopt;
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
