#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {

std::int64_t TickCountMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace platform
