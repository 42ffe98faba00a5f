#pragma once

#include <cstdarg>

namespace common {

// printf into a fixed buffer of `units` UTF-16 units, cut and always terminated. MSVC conventions on
// purpose: "%s" takes a wide string in every format of this program.
void formatInto(wchar_t* buffer, int units, const wchar_t* format, va_list args);

}  // namespace common
