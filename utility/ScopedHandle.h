#pragma once
// One move-only owner for every kind of Win32 handle; the traits say what "none" is and how to close.

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace utility {

template <typename Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() noexcept = default;
    explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
    ~ScopedHandle() { reset(); }

    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return Traits::isValid(handle_); }

    // Gives up ownership; the caller closes the handle.
    Handle release() noexcept { return std::exchange(handle_, Traits::none()); }

    void reset(Handle handle = Traits::none()) noexcept {
        if (Traits::isValid(handle_)) Traits::close(handle_);
        handle_ = handle;
    }

    // For out-parameters of API calls: closes what is held and lends the slot.
    Handle* receive() noexcept {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::none();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return nullptr; }
    // CreateFileW and CreateToolhelp32Snapshot fail with INVALID_HANDLE_VALUE, the rest with null.
    static bool isValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) { ::CloseHandle(h); }
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle none() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::RegCloseKey(h); }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle none() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::FreeLibrary(h); }
};

struct WindowTraits {
    using Handle = HWND;
    static Handle none() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DestroyWindow(h); }
};

template <typename Interface>
struct ComInterfaceTraits {
    using Handle = Interface*;
    static Handle none() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { h->Release(); }
};

// Memory the shell hands out with CoTaskMemAlloc, such as item id lists.
template <typename Pointer>
struct CoTaskMemTraits {
    using Handle = Pointer;
    static Handle none() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::CoTaskMemFree(h); }
};

// Pens, brushes, fonts and bitmaps made by gdi32.
template <typename Object>
struct GdiObjectTraits {
    using Handle = Object;
    static Handle none() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DeleteObject(h); }
};

// Memory device contexts from CreateCompatibleDC.
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle none() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DeleteDC(h); }
};

using UniqueHandle = ScopedHandle<KernelHandleTraits>;
using UniqueKey = ScopedHandle<RegistryKeyTraits>;
using UniqueModule = ScopedHandle<ModuleTraits>;
using UniqueWindow = ScopedHandle<WindowTraits>;
template <typename Object>
using UniqueGdiObject = ScopedHandle<GdiObjectTraits<Object>>;
using UniqueMemoryDc = ScopedHandle<MemoryDcTraits>;
template <typename Interface>
using UniqueCom = ScopedHandle<ComInterfaceTraits<Interface>>;
template <typename Pointer>
using UniqueCoTaskMem = ScopedHandle<CoTaskMemTraits<Pointer>>;

}  // namespace utility
