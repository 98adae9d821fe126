#pragma once
// Uses std::string without including <string>: it compiles only after a source included it.

inline std::string Farewell() {
    return "bye";
}
