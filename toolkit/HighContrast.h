#pragma once
// The system's colours while high contrast is on. The toolkit then draws with them instead of the
// skin's colours and faces, so that texts, focus and progress stay readable on the user's scheme.

#include <cstdint>
#include <optional>

namespace toolkit {

struct SystemColours {  // ARGB, opaque
    uint32_t window;
    uint32_t windowText;
    uint32_t grayText;
    uint32_t highlight;
    uint32_t highlightText;
    uint32_t buttonFace;
    uint32_t buttonText;
    uint32_t hotLight;
};

// Nothing while high contrast is off.
std::optional<SystemColours> highContrastColours();

// Draws as if high contrast were on, with the system's colours: for pictures of that look on a
// system that cannot turn it on (Wine cannot).
void forceHighContrast(bool on);

}  // namespace toolkit
