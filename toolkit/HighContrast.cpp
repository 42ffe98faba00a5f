#include "toolkit/HighContrast.h"

#include <windows.h>

namespace toolkit {

namespace {

bool g_forced = false;

uint32_t systemColour(int index) {
    const COLORREF colour = ::GetSysColor(index);
    return 0xFF000000u | (static_cast<uint32_t>(GetRValue(colour)) << 16) |
           (static_cast<uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}

bool highContrastOn() {
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof(setting);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace

std::optional<SystemColours> highContrastColours() {
    if (!g_forced && !highContrastOn()) return std::nullopt;
    return SystemColours{systemColour(COLOR_WINDOW),    systemColour(COLOR_WINDOWTEXT), systemColour(COLOR_GRAYTEXT),
                         systemColour(COLOR_HIGHLIGHT), systemColour(COLOR_HIGHLIGHTTEXT), systemColour(COLOR_BTNFACE),
                         systemColour(COLOR_BTNTEXT),   systemColour(COLOR_HOTLIGHT)};
}

void forceHighContrast(bool on) { g_forced = on; }

}  // namespace toolkit
