#pragma once
// Desktop shortcuts. Any thread: createShortcut enters a COM apartment of its own when the thread has none.

#include <string>

namespace helper {

// Saves "<desktop>\\<name>.lnk" pointing at target, replacing one of that name. Arguments are set only
// when not empty; the icon is the first in the icon file. Failures are logged, not reported.
void createShortcut(const std::wstring& name, const std::wstring& icon, const std::wstring& folder,
                    const std::wstring& target, const std::wstring& arguments);

}  // namespace helper
