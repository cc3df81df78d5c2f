#pragma once

// The fixture of the window module's tests: one real main window per suite, built as
// the program builds it (tests/support/main_window_win.h). Needs a display.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "tests/support/main_window_win.h"

class WindowModule : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        harness = std::make_unique<testing_support::MainWindow>();
        window = harness->get();
    }
    static void TearDownTestSuite() {
        harness.reset();
        window = nullptr;
    }
    static bool shown(HWND control) { return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

    static inline std::unique_ptr<testing_support::MainWindow> harness;
    static inline HWND window = nullptr;
};

// A 32-bit top-down bitmap to draw into and read back.
class Pixels {
public:
    Pixels(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~Pixels() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Pixels(const Pixels&) = delete;
    Pixels& operator=(const Pixels&) = delete;

    HDC dc() const { return dc_; }
    COLORREF at(int x, int y) const {
        const std::uint32_t pixel = bits_[y * width_ + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    int count(COLORREF colour) const { return count(colour, RECT{0, 0, width_, height_}); }
    int count(COLORREF colour, const RECT& area) const {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) n += at(x, y) == colour;
        return n;
    }
    bool operator==(const Pixels& other) const {
        return width_ == other.width_ && height_ == other.height_ &&
               std::equal(bits_, bits_ + width_ * height_, other.bits_);
    }
    // Writes a .bmp file, for a person to look at.
    void save(const std::string& path) const {
        const std::uint32_t size = static_cast<std::uint32_t>(width_ * height_ * 4);
        BITMAPFILEHEADER file{0x4D42, 14 + 40 + size, 0, 0, 14 + 40};
        BITMAPINFOHEADER info{40, width_, -height_, 1, 32, BI_RGB, size, 0, 0, 0, 0};
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(&file), 14);
        out.write(reinterpret_cast<const char*>(&info), 40);
        out.write(reinterpret_cast<const char*>(bits_), size);
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    std::uint32_t* bits_ = nullptr;
};

// Draws button `id` into a 184 x 25 bitmap and reads it back.
class Drawn : public Pixels {
public:
    Drawn(HWND window, int id, UINT state) : Pixels(width, height) {
        DRAWITEMSTRUCT item{ODT_BUTTON, static_cast<UINT>(id),     0, ODA_DRAWENTIRE, state, GetDlgItem(window, id),
                            dc(),       RECT{0, 0, width, height}, 0};
        SendMessageW(window, WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&item));
        GdiFlush();
    }
    static constexpr int width = 184, height = 25;
};

// What a shown window's client area has on screen once it has painted.
class Captured : public Pixels {
public:
    explicit Captured(HWND window) : Captured(window, client(window)) {}

private:
    Captured(HWND window, RECT client) : Pixels(client.right, client.bottom) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        HDC screen = GetDC(window);
        BitBlt(dc(), 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
        ReleaseDC(window, screen);
        GdiFlush();
    }
    static RECT client(HWND window) {
        RECT client{};
        GetClientRect(window, &client);
        return client;
    }
};
