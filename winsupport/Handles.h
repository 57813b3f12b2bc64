#pragma once
// One move-only owner for every kind of Win32 handle: a traits type names the
// handle, its empty value and how it is released.

#include <windows.h>
#include <commctrl.h>

#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Empty(); }

    Handle release() noexcept { return std::exchange(handle_, Traits::Empty()); }
    void reset(Handle handle = Traits::Empty()) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::Empty()) Traits::Close(old);
    }

private:
    Handle handle_ = Traits::Empty();
};

// Handles whose empty value is null, released by one platform function.
template <typename T, auto Release>
struct NullHandleTraits {
    using Handle = T;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { Release(h); }
};

using UniqueHkey = UniqueHandle<NullHandleTraits<HKEY, &::RegCloseKey>>;
using UniqueModule = UniqueHandle<NullHandleTraits<HMODULE, &::FreeLibrary>>;
using UniqueFont = UniqueHandle<NullHandleTraits<HFONT, &::DeleteObject>>;
using UniqueBitmap = UniqueHandle<NullHandleTraits<HBITMAP, &::DeleteObject>>;
using UniqueBrush = UniqueHandle<NullHandleTraits<HBRUSH, &::DeleteObject>>;
using UniquePen = UniqueHandle<NullHandleTraits<HPEN, &::DeleteObject>>;
using UniqueIcon = UniqueHandle<NullHandleTraits<HICON, &::DestroyIcon>>;
using UniqueCursor = UniqueHandle<NullHandleTraits<HCURSOR, &::DestroyCursor>>;
using UniqueWindow = UniqueHandle<NullHandleTraits<HWND, &::DestroyWindow>>;
using UniqueKernelHandle = UniqueHandle<NullHandleTraits<HANDLE, &::CloseHandle>>;
using UniqueImageList = UniqueHandle<NullHandleTraits<HIMAGELIST, &::ImageList_Destroy>>;
using UniqueMemoryDC = UniqueHandle<NullHandleTraits<HDC, &::DeleteDC>>;
using UniqueGlobal = UniqueHandle<NullHandleTraits<HGLOBAL, &::GlobalFree>>;
// What CommandLineToArgvW returns: one block for the pointers and the texts.
using UniqueArgumentList = UniqueHandle<NullHandleTraits<LPWSTR*, &::LocalFree>>;

// A device context borrowed with GetDC and handed back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Keeps an object selected into a device context for one scope.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};
