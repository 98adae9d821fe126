#pragma once
// Named character references of HTML 4 (and apos), as data.
#include <string_view>

// The character `name` (without "&" and ";") stands for; 0 when it is no known entity.
char32_t LookUpHtmlEntity(std::u16string_view name);
