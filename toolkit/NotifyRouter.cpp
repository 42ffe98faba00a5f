#include "toolkit/NotifyRouter.h"

#include "toolkit/Control.h"

namespace toolkit {

void CNotifyRouter::addRoute(const std::wstring& type, const std::wstring& controlName, Handler handler) {
    routes_[{type, controlName}] = std::move(handler);
}

bool CNotifyRouter::route(Notification& notification) const {
    if (!notification.sender) return false;
    auto found = routes_.find({notification.type, notification.sender->name()});
    if (found == routes_.end()) return false;
    // The handler may replace routes; run a copy.
    const Handler handler = found->second;
    handler(notification);
    return true;
}

}  // namespace toolkit
