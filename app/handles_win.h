#pragma once

// Move-only owners for the GDI and user-interface handles of the window module.

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace app {

// A handle owned until release(): freed with Free (a call object) when replaced or at
// the end of its life.
template <typename Handle, typename Free>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    Handle release() { return std::exchange(handle_, nullptr); }
    void reset(Handle handle = nullptr) {
        if (handle_) Free()(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

// A GDI object (font, brush, pen, bitmap, region) released with DeleteObject.
template <typename Handle>
using GdiObject = Owned<Handle, DeleteGdiObject>;

using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Bitmap = GdiObject<HBITMAP>;

// Selects an object into a device context and puts the previous one back, so
// that nothing is deleted while still selected.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

struct DeleteDc {
    void operator()(HDC dc) const { DeleteDC(dc); }
};

// A memory device context compatible with another one.
class MemoryDc : public Owned<HDC, DeleteDc> {
public:
    explicit MemoryDc(HDC compatible) : Owned(CreateCompatibleDC(compatible)) {}
};

// BeginPaint / EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { EndPaint(window_, &paint_); }
    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// A scope opened by a call that may fail: the closing call is made when the scope
// ends, and only if the opening one succeeded.
class PairedCalls {
public:
    PairedCalls(const PairedCalls&) = delete;
    PairedCalls& operator=(const PairedCalls&) = delete;
    ~PairedCalls() {
        if (opened_) close_();
    }

protected:
    PairedCalls(bool opened, void (*close)()) : opened_(opened), close_(close) {}
    const bool opened_;

private:
    void (*const close_)();
};

// OpenClipboard / CloseClipboard.
class ClipboardScope : private PairedCalls {
public:
    explicit ClipboardScope(HWND owner) : PairedCalls(OpenClipboard(owner) != FALSE, [] { CloseClipboard(); }) {}
    bool open() const { return opened_; }
};

// COM for this thread as a single-threaded apartment, as the shell's ShellExecute
// and the common dialogs ask of their caller; released only when this call took it.
class ComApartment : private PairedCalls {
public:
    ComApartment()
        : PairedCalls(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)),
                      [] { CoUninitialize(); }) {}
    bool taken() const { return opened_; }
};

struct FreeGlobal {
    void operator()(HGLOBAL memory) const { GlobalFree(memory); }
};

// Movable global memory, freed unless handed to the system with release().
class GlobalMemory : public Owned<HGLOBAL, FreeGlobal> {
public:
    explicit GlobalMemory(SIZE_T bytes) : Owned(GlobalAlloc(GMEM_MOVEABLE, bytes)) {}
};

}  // namespace app
