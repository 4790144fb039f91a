// RAII owners for the Win32 handles the programs hold.
#pragma once
#include <windows.h>

#include <atomic>
#include <type_traits>
#include <utility>

namespace plat {

// GDI objects (bitmaps, fonts, brushes, regions, icons) held by the owners
// below right now. GetGuiResources answers 0 under Wine; long runs read this.
inline std::atomic<long> g_heldGdiObjects{0};
inline long HeldGdiObjects() { return g_heldGdiObjects.load(); }

template <typename Traits, typename = void>
struct HoldsGdiObject : std::false_type {};
template <typename Traits>
struct HoldsGdiObject<Traits, std::void_t<decltype(Traits::kGdiObject)>> : std::bool_constant<Traits::kGdiObject> {};

// One owner template; Traits names the invalid value and the release call.
template <typename Traits>
class Unique {
public:
    using handle_type = typename Traits::type;
    Unique() noexcept = default;
    explicit Unique(handle_type h) noexcept : h_(h) { Count(h_, 1); }
    ~Unique() { reset(); }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& o) noexcept : h_(std::exchange(o.h_, Traits::invalid())) {}
    Unique& operator=(Unique&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    handle_type get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::invalid(); }
    handle_type release() noexcept {
        Count(h_, -1);
        return std::exchange(h_, Traits::invalid());
    }
    void reset(handle_type h = Traits::invalid()) noexcept {
        if (h_ != Traits::invalid()) Traits::close(h_);
        Count(h_, -1);
        h_ = h;
        Count(h_, 1);
    }

private:
    static void Count(handle_type h, long delta) noexcept {
        if constexpr (HoldsGdiObject<Traits>::value)
            if (h != Traits::invalid()) g_heldGdiObjects += delta;
    }
    handle_type h_ = Traits::invalid();
};

// Traits of a handle that is null when it holds nothing and is given back
// by one call. GDI objects are counted (HeldGdiObjects).
template <typename T, auto Release, bool Gdi = false>
struct NullHandleTraits {
    static constexpr bool kGdiObject = Gdi;
    using type = T;
    static T invalid() { return nullptr; }
    static void close(T h) { Release(h); }
};
using KernelHandleTraits = NullHandleTraits<HANDLE, ::CloseHandle>;
// CreateFile and CreateToolhelp32Snapshot report failure as INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using type = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};
template <typename T>
using GdiTraits = NullHandleTraits<T, ::DeleteObject, true>;

using UniqueHandle = Unique<KernelHandleTraits>;
using UniqueFile = Unique<FileHandleTraits>;
using UniqueMemDC = Unique<NullHandleTraits<HDC, ::DeleteDC>>;
using UniqueBitmap = Unique<GdiTraits<HBITMAP>>;
using UniqueFont = Unique<GdiTraits<HFONT>>;
using UniqueBrush = Unique<GdiTraits<HBRUSH>>;
using UniqueRegion = Unique<GdiTraits<HRGN>>;
using UniqueRegKey = Unique<NullHandleTraits<HKEY, ::RegCloseKey>>;
using UniqueIcon = Unique<NullHandleTraits<HICON, ::DestroyIcon, true>>;
using UniqueMenu = Unique<NullHandleTraits<HMENU, ::DestroyMenu>>;
using UniqueModule = Unique<NullHandleTraits<HMODULE, ::FreeLibrary>>;
using UniqueGlobal = Unique<NullHandleTraits<HGLOBAL, ::GlobalFree>>;

// One reference to a COM interface, released at the end of the scope.
template <typename T>
class ComRef {
public:
    ComRef() noexcept = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // For the out-parameter of a creating call; drops what was held.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void reset() noexcept {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// A DC borrowed from a window (GetDC / GetWindowDC), given back with ReleaseDC.
class WindowDC {
public:
    enum Kind { Client, Whole };
    explicit WindowDC(HWND hwnd, Kind kind = Client) noexcept
        : hwnd_(hwnd), dc_(kind == Client ? ::GetDC(hwnd) : ::GetWindowDC(hwnd)) {}
    ~WindowDC() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint / EndPaint pair.
class PaintDC {
public:
    explicit PaintDC(HWND hwnd) noexcept : hwnd_(hwnd) { dc_ = ::BeginPaint(hwnd, &ps_); }
    ~PaintDC() { ::EndPaint(hwnd_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const noexcept { return dc_; }
    const PAINTSTRUCT& paint() const noexcept { return ps_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// Selects a GDI object into a DC for the scope and puts the previous one back.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~SelectObjectScope() {
        if (old_) ::SelectObject(dc_, old_);
    }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace plat
