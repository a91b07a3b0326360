#pragma once

#include <QDateTime>
#include <QTimeZone>

/// The wall clock and the user's time zone, swappable so tests never sleep.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTimeUtc(); }
    virtual QTimeZone timeZone() const { return QTimeZone::systemTimeZone(); }
    /// The time as the user's local calendar sees it.
    QDateTime local(const QDateTime& t) const { return t.toTimeZone(timeZone()); }

    /// The real clock, shared.
    static const Clock& system();
};

/// A clock that stands still until told to move.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc()),
                         QTimeZone zone = QTimeZone::utc())
        : m_now(std::move(start)), m_zone(std::move(zone)) {}
    QDateTime now() const override { return m_now; }
    QTimeZone timeZone() const override { return m_zone; }
    void set(QDateTime t) { m_now = std::move(t); }
    void advance(double seconds) { m_now = m_now.addMSecs(static_cast<qint64>(seconds * 1000.0)); }
    void setTimeZone(QTimeZone zone) { m_zone = std::move(zone); }

private:
    QDateTime m_now;
    QTimeZone m_zone;
};
