#pragma once
// Brings what it uses.
#include <string>

inline std::string Greeting() {
    return "hello";
}
