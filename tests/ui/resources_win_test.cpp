// Loads TolvenaireAndroid.exe as a data file and checks what Windows itself will
// read from it: the icon at the sizes the shell asks for, the version record, the
// manifest and the dialog template.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/version.h"

#ifndef TOLVENAIRE_APP_EXE
#error "TOLVENAIRE_APP_EXE must name the application executable"
#endif

namespace {

std::wstring applicationPath() {
    // The build passes a Unix path; Wine maps the Unix root as drive Z:.
    const std::string path = TOLVENAIRE_APP_EXE;
    std::wstring wide(path.begin(), path.end());
    if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
    return wide;
}

class ApplicationResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(applicationPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << "error " << GetLastError();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    std::string resourceBytes(const wchar_t* type, int id) {
        HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (!found) return {};
        HGLOBAL loaded = LoadResource(module_, found);
        const auto* data = static_cast<const char*>(LockResource(loaded));
        return data ? std::string(data, SizeofResource(module_, found)) : std::string{};
    }

    HMODULE module_ = nullptr;
};

TEST_F(ApplicationResources, IconOneLoadsAtShellSizes) {
    for (int size : {16, 24, 32, 48, 256}) {
        HICON icon =
            static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
        BITMAP colour{};
        ASSERT_NE(info.hbmColor, nullptr) << size;
        GetObjectW(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST_F(ApplicationResources, IconIsOpaqueTealInTheMiddleAndClearInTheCorner) {
    // Draw the 32-pixel image on white and sample it: a corner outside the rounded
    // square stays white, the left middle is the teal face.
    HICON icon = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(icon, nullptr);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 32, 32);
    HGDIOBJ previous = SelectObject(memory, target);
    RECT all{0, 0, 32, 32};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(memory, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    const COLORREF corner = GetPixel(memory, 0, 0);
    const COLORREF face = GetPixel(memory, 3, 24);
    SelectObject(memory, previous);
    DeleteObject(target);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DestroyIcon(icon);
    EXPECT_EQ(corner, RGB(255, 255, 255));
    EXPECT_EQ(face, RGB(0x11, 0x77, 0x6C));
}

TEST_F(ApplicationResources, VersionRecordSaysTheProjectVersion) {
    const std::wstring path = applicationPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // The project version of the build, major and minor in the high word, patch then 0.
    constexpr DWORD high = (TOLVENAIRE_VERSION_MAJOR << 16) | TOLVENAIRE_VERSION_MINOR;
    constexpr DWORD low = TOLVENAIRE_VERSION_PATCH << 16;
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    for (const wchar_t* name : {L"ProductVersion", L"FileVersion"}) {
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) << name;
        EXPECT_STREQ(text, TOLVENAIRE_VERSION_WIDE);
    }
    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, L"Tolvenaire Android");
}

TEST_F(ApplicationResources, ManifestAsksForWhatTheWindowNeeds) {
    const std::string manifest = resourceBytes(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty());
    // The one manifest is ours, not a default one added by the tool chain.
    EXPECT_EQ(FindResourceW(module_, MAKEINTRESOURCEW(2), RT_MANIFEST), nullptr);
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): the first text is joined with the version on purpose
    for (const char* needed : {"name=\"Varnix.TolvenaireAndroid\" version=\"" TOLVENAIRE_VERSION ".0\"",
                               "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "level=\"asInvoker\"",
                               ">true</dpiAware>", ">true</longPathAware>"})
        EXPECT_NE(manifest.find(needed), std::string::npos) << needed;
}

TEST_F(ApplicationResources, PairingDialogTemplateIsPresent) {
    EXPECT_NE(FindResourceW(module_, MAKEINTRESOURCEW(201), RT_DIALOG), nullptr);
}

}  // namespace
