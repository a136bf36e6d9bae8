#include "automation/dbus/IdleExit.h"

namespace trx {

IdleExit::IdleExit(QDBusConnection connection, std::function<void()> expired)
    : connection_(std::move(connection)) {
    exitTimer_.setSingleShot(true);
    QObject::connect(&exitTimer_, &QTimer::timeout, &loop_, std::move(expired));
    busCheck_.setInterval(1000);
    QObject::connect(&busCheck_, &QTimer::timeout, &loop_, [this] {
        if (!connection_.isConnected()) {
            loop_.exit(0);
        }
    });
}

int IdleExit::Run() {
    busCheck_.start();
    return loop_.exec();
}

void IdleExit::Quit(int code) {
    loop_.exit(code);
}

void IdleExit::Arm(std::chrono::milliseconds wait) {
    exitTimer_.start(wait);
}

void IdleExit::Cancel() {
    exitTimer_.stop();
}

}  // namespace trx
