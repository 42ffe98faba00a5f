#pragma once
// Extending a folder that came from the registry or the user, which may or may not end in a separator.

#include <string>

namespace model {

// folder and name with exactly one backslash between them: "C:\\a" or "C:\\a\\" with "b" give "C:\\a\\b".
// An empty folder gives the name unchanged.
std::wstring joinPath(const std::wstring& folder, const std::wstring& name);

}  // namespace model
