#include "Clock.h"

namespace tarnvue {

namespace {

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

std::shared_ptr<const Clock>& installed() {
    static std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>();
    return clock;
}

} // namespace

QDateTime currentDateTime() {
    return installed()->now();
}

void setClock(std::shared_ptr<const Clock> clock) {
    installed() = clock ? std::move(clock) : std::make_shared<SystemClock>();
}

} // namespace tarnvue
