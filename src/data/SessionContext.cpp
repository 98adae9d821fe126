#include "data/SessionContext.h"

#include "platform/Clock.h"

SessionContext::SessionContext() : startMinute(platform::TickCountMs() / 60000) {}

SessionContext& SessionContext::Current() {
    static SessionContext context;
    return context;
}
