#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

namespace veltrane {

// Several periodic triggers served by one handler: OnAllTriggers names the trigger that fired.
class TimerPool final : public QObject {
    Q_OBJECT
public:
    using Trigger = int;

    explicit TimerPool(QObject* parent = nullptr) : QObject(parent) {}

    Trigger add(int intervalMs, bool enabled);
    void setEnabled(Trigger trigger, bool enabled);
    bool enabled(Trigger trigger) const;
    int interval(Trigger trigger) const;

signals:
    void OnAllTriggers(veltrane::TimerPool::Trigger trigger);

private:
    QTimer* timer(Trigger trigger) const;
    std::vector<std::unique_ptr<QTimer>> timers_;
};

} // namespace veltrane
