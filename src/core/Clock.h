#pragma once

#include <QDateTime>
#include <memory>

namespace tarnvue {

// Where "now" comes from. The program asks currentDateTime(); tests install a
// fixed clock so that periods can be checked at any moment of the year.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime now) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }
    void set(QDateTime now) { m_now = std::move(now); }

private:
    QDateTime m_now;
};

// The local date and time from the installed clock (the system clock unless
// a test installed another).
QDateTime currentDateTime();

// Installs a clock; nullptr restores the system clock.
void setClock(std::shared_ptr<const Clock> clock);

} // namespace tarnvue
