#include "platform/qt/QtTimer.h"

namespace trx {

QtTimer::QtTimer(std::function<void()> timerTicked) : timer_(new QTimer) {
    timer_->setTimerType(Qt::CoarseTimer);
    QObject::connect(timer_, &QTimer::timeout, timer_,
                     [handler = std::move(timerTicked)] { handler(); });
}

QtTimer::~QtTimer() {
    timer_->stop();
    QObject::disconnect(timer_, nullptr, nullptr, nullptr);
    timer_->deleteLater();
}

void QtTimer::SetInterval(std::int32_t milliseconds) {
    interval_ = milliseconds;
    if (milliseconds <= 0) {
        timer_->stop();
        return;
    }
    timer_->start(milliseconds);
}

std::unique_ptr<Timer> QtTimerFactory::Create(std::function<void()> timerTicked) {
    return std::make_unique<QtTimer>(std::move(timerTicked));
}

}  // namespace trx
