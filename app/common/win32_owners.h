#pragma once
// Move-only owners of the Windows handles the program holds, each returned
// exactly once when its owner goes or is reset, and the casts between our
// UTF-16 text and the system's wide strings (the same bytes under Windows).
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <memory>

namespace qdx::app {

inline const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* U(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// One handle of the kind `Traits` describes: `Handle`, the value meaning
// "none" (`Empty()`) and how it is returned (`Close`).
template <typename Traits>
class OwnedHandle {
public:
    using Handle = typename Traits::Handle;
    OwnedHandle() = default;
    explicit OwnedHandle(Handle adopted) : handle_(adopted) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.Release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~OwnedHandle() { Reset(); }

    // Returns what was held and takes `adopted`.
    void Reset(Handle adopted = Traits::Empty()) {
        if (handle_ != Traits::Empty() && handle_ != adopted) Traits::Close(handle_);
        handle_ = adopted;
    }
    // Hands the handle on; the owner holds nothing afterwards.
    [[nodiscard]] Handle Release() {
        const Handle handle = handle_;
        handle_ = Traits::Empty();
        return handle;
    }
    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Empty(); }

private:
    Handle handle_ = Traits::Empty();
};

struct DropTraits {
    using Handle = HDROP;
    static Handle Empty() { return nullptr; }
    static void Close(Handle drop) { ::DragFinish(drop); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle module) { ::FreeLibrary(module); }
};
template <typename GdiHandle>
struct GdiTraits {
    using Handle = GdiHandle;
    static Handle Empty() { return nullptr; }
    static void Close(Handle object) { ::DeleteObject(object); }
};
struct FindTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle search) { ::FindClose(search); }
};

// The files of one drop (DragFinish).
using DropHandle = OwnedHandle<DropTraits>;
// A loaded library (FreeLibrary).
using ModuleHandle = OwnedHandle<ModuleTraits>;
// A font, brush or pen (DeleteObject).
template <typename GdiHandle>
using GdiObject = OwnedHandle<GdiTraits<GdiHandle>>;
using FontHandle = GdiObject<HFONT>;
using BrushHandle = GdiObject<HBRUSH>;
using PenHandle = GdiObject<HPEN>;
// A search of FindFirstFile (FindClose).
using FindHandle = OwnedHandle<FindTraits>;

// Memory the system hands out to be returned with LocalFree or CoTaskMemFree.
struct LocalFreeDelete {
    void operator()(void* block) const { ::LocalFree(block); }
};
struct CoTaskMemFreeDelete {
    void operator()(void* block) const { ::CoTaskMemFree(block); }
};
template <typename T>
using LocalMemory = std::unique_ptr<T, LocalFreeDelete>;
template <typename T>
using CoTaskMemory = std::unique_ptr<T, CoTaskMemFreeDelete>;

// Selects a GDI object into a device context for one scope (nothing for a
// null object); the previous object is selected again at the end.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A window's device context for one scope (GetDC / ReleaseDC); a null window
// gives the screen's.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// One WM_PAINT's device context (BeginPaint / EndPaint).
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    ~PaintDC() { ::EndPaint(window_, &paint_); }
    HDC Get() const { return dc_; }
    const RECT& Dirty() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// One interface pointer of the component system, released when its owner goes.
template <typename T>
class ComPointer {
public:
    ComPointer() = default;
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    ComPointer(ComPointer&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
    ComPointer& operator=(ComPointer&& other) noexcept {
        if (this != &other) {
            if (pointer_) pointer_->Release();
            pointer_ = other.pointer_;
            other.pointer_ = nullptr;
        }
        return *this;
    }
    ~ComPointer() {
        if (pointer_) pointer_->Release();
    }
    T* operator->() const { return pointer_; }
    T* Get() const { return pointer_; }
    // For the creating call's out parameter; call on an empty owner only.
    void** Out() { return reinterpret_cast<void**>(&pointer_); }

private:
    T* pointer_ = nullptr;
};

}  // namespace qdx::app
