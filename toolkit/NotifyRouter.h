#pragma once
// A window's table from (notification type, control name) to the handler that runs for it.

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "toolkit/Notification.h"

namespace toolkit {

class CNotifyRouter {
public:
    using Handler = std::function<void(Notification&)>;

    // Replaces an earlier handler of the same type and name.
    void addRoute(const std::wstring& type, const std::wstring& controlName, Handler handler);
    // Runs the matching handler; false when there is none.
    bool route(Notification& notification) const;

private:
    std::map<std::pair<std::wstring, std::wstring>, Handler> routes_;
};

}  // namespace toolkit
