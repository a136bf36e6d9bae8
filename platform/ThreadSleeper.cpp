#include "platform/ThreadSleeper.h"

#include <chrono>
#include <thread>

namespace trx {

void ThreadSleeper::Sleep(std::int32_t milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

}  // namespace trx
