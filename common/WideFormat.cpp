#include "common/WideFormat.h"

#include <cwchar>

namespace common {

void formatInto(wchar_t* buffer, int units, const wchar_t* format, va_list args) {
    _vsnwprintf(buffer, units - 1, format, args);
    buffer[units - 1] = L'\0';
}

}  // namespace common
