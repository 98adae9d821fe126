// The earlier include hides the header's fault from this source.
#include <string>

#include "partial/Missing.h"

std::string PartialFarewell() {
    return Farewell();
}
