#include "whole/Complete.h"

std::string WholeGreeting() {
    return Greeting();
}
