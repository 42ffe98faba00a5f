#include "utility/UiDispatcher.h"

namespace utility {

namespace {

constexpr wchar_t kWindowClass[] = L"PeloraUiDispatcher";

UiDispatcher* g_dispatcher = nullptr;

// Address of this byte is the owner key of generic posts.
const char g_genericOwner = 0;

}  // namespace

UiDispatcher* UiDispatcher::create() {
    if (g_dispatcher == nullptr) new UiDispatcher();
    return g_dispatcher;
}

UiDispatcher* UiDispatcher::instance() { return g_dispatcher; }

UiDispatcher::UiDispatcher() {
    // Set before the window exists: the window procedure finds the dispatcher through it.
    g_dispatcher = this;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &UiDispatcher::windowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass);
    window_.reset(::CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, nullptr));
}

LRESULT CALLBACK UiDispatcher::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgRunTask) {
        g_dispatcher->deliver(reinterpret_cast<const void*>(wParam), reinterpret_cast<Runable*>(lParam));
        return 0;
    }
    if (message == WM_TIMER) {
        g_dispatcher->tick(wParam);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool UiDispatcher::post(const void* owner, Runable* task) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++owners_[owner];  // a new owner starts from 0, so counting from -1 after cancel reaches 0 again
    }
    if (::PostMessageW(window_.get(), kMsgRunTask, reinterpret_cast<WPARAM>(owner), reinterpret_cast<LPARAM>(task))) {
        return true;
    }
    task->release();
    return false;
}

bool UiDispatcher::post(std::function<void()> function) {
    return post(&g_genericOwner, makeRunable(std::move(function)));
}

void UiDispatcher::cancel(const void* owner) {
    std::lock_guard<std::mutex> guard(lock_);
    const auto entry = owners_.find(owner);
    if (entry != owners_.end()) entry->second = -1;
}

void UiDispatcher::deliver(const void* owner, Runable* task) {
    bool runIt = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto entry = owners_.find(owner);
        if (entry != owners_.end() && entry->second >= 0) {
            --entry->second;
            runIt = true;
        }
    }
    // Outside the lock: the task may post or cancel itself.
    if (runIt) task->run();
    task->release();
}

UINT_PTR UiDispatcher::setTimer(UINT intervalMs, Runable* task) {
    const UINT_PTR id = ++lastTimerId_;
    if (::SetTimer(window_.get(), id, intervalMs, nullptr) == 0) {
        task->release();
        return 0;
    }
    // Keyed by our own id: WM_TIMER carries it, whatever SetTimer returned.
    timers_[id] = task;
    return id;
}

void UiDispatcher::killTimer(UINT_PTR timerId) {
    const auto entry = timers_.find(timerId);
    if (entry == timers_.end()) return;
    Runable* task = entry->second;
    timers_.erase(entry);
    ::KillTimer(window_.get(), timerId);
    task->release();
}

void UiDispatcher::tick(UINT_PTR timerId) {
    const auto entry = timers_.find(timerId);
    if (entry != timers_.end()) entry->second->run();
}

}  // namespace utility
