#pragma once

#include <QDateTime>

namespace veltrane {

// The time as the program sees it; tests put in a clock of their own so time stamps,
// countdowns and log naming are reproducible.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that shows the time it was last set to.
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime time = {}) : time_(std::move(time)) {}
    QDateTime now() const override { return time_; }
    void set(QDateTime time) { time_ = std::move(time); }

private:
    QDateTime time_;
};

} // namespace veltrane
