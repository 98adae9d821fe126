#pragma once
// Millisecond tick count of a monotonic clock, the time base of lock waits, caches and timeouts.
#include <cstdint>

namespace platform {

std::int64_t TickCountMs();
void SleepMs(int ms);

} // namespace platform
