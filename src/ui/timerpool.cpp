#include "ui/timerpool.h"

namespace veltrane {

TimerPool::Trigger TimerPool::add(int intervalMs, bool enabled) {
    const Trigger trigger = static_cast<Trigger>(timers_.size());
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(intervalMs);
    connect(timer.get(), &QTimer::timeout, this, [this, trigger] { emit OnAllTriggers(trigger); });
    if (enabled)
        timer->start();
    timers_.push_back(std::move(timer));
    return trigger;
}

QTimer* TimerPool::timer(Trigger trigger) const {
    if (trigger < 0 || static_cast<size_t>(trigger) >= timers_.size())
        return nullptr;
    return timers_[static_cast<size_t>(trigger)].get();
}

void TimerPool::setEnabled(Trigger trigger, bool enabled) {
    QTimer* t = timer(trigger);
    if (!t || t->isActive() == enabled)
        return; // enabling a running trigger again does not restart its interval
    if (enabled)
        t->start();
    else
        t->stop();
}

bool TimerPool::enabled(Trigger trigger) const {
    const QTimer* t = timer(trigger);
    return t && t->isActive();
}

int TimerPool::interval(Trigger trigger) const {
    const QTimer* t = timer(trigger);
    return t ? t->interval() : 0;
}

} // namespace veltrane
