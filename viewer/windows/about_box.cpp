#include "viewer/windows/about_box.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "imglib/library_versions.h"
#include "viewer/logic/about_logo.h"
#include "viewer/logic/dib_render.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_state.h"

struct AboutBox {
    AboutBox** open = nullptr; // the owner's record of the open box
    HWND owner = nullptr;
    HWND window = nullptr;
    DibBuffer logo;                   // 48 x 48, 24 bits
    ILColor source[kLogoPixels] = {}; // the icon in linear light, straight alpha
    int hueAngle = 0;
    ILLibraryVersion libraries[kILLibraryCount] = {};
    size_t libraryCount = 0;
};

namespace {

constexpr int kWidth = 500;
constexpr int kRowHeight = 15;
constexpr int kFirstRowY = 153;
constexpr UINT kTickMs = 50;
constexpr UINT_PTR kAboutLogoTimer = 6666; // turns the logo

// The licence each support library comes under, beside its version.
const char* LicenceOf(const char* name) {
    struct Row {
        const char* name;
        const char* licence;
    };
    static const Row rows[] = {
        {"lcms2", "MIT licence"},         {"zlib", "zlib licence"},
        {"libpng", "libpng licence"},     {"libjpeg-turbo", "IJG and BSD licences"},
        {"libtiff", "libtiff licence"},   {"LibRaw", "LGPL 2.1 or CDDL 1.0"},
        {"OpenEXR", "BSD licence"},       {"Imath", "BSD licence"},
        {"jxrlib", "BSD licence"},        {"libpgf", "LGPL 2.1"},
        {"libwebp", "BSD licence"},       {"libexif", "LGPL 2.1"},
        {"libiptcdata", "LGPL 2.0"},      {"exempi", "BSD licence"},
        {"FreeType", "FreeType licence"}, {"Fontconfig", "MIT licence"},
    };
    for (const Row& row : rows)
        if (std::strcmp(row.name, name) == 0) return row.licence;
    return "";
}

int BoxHeight(const AboutBox& box) {
    return kRowHeight * static_cast<int>(box.libraryCount) + 220;
}

// The program icon at 48 x 48 in linear light; false when it cannot be read.
bool LoadAboutLogo(AboutBox& box) {
    const HICON icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"Vx", IMAGE_ICON, kLogoSize, kLogoSize, 0));
    if (!icon) return false;
    ICONINFO info = {};
    const bool haveInfo = GetIconInfo(icon, &info) != FALSE;
    DestroyIcon(icon);
    if (!haveInfo) return false;
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = kLogoSize;
    format.bmiHeader.biHeight = -kLogoSize;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    auto colour = std::make_unique<uint8_t[]>(kLogoPixels * 4);
    auto mask = std::make_unique<uint8_t[]>(kLogoPixels * 4);
    const HDC dc = GetDC(nullptr);
    const bool read =
        info.hbmColor &&
        GetDIBits(dc, info.hbmColor, 0, kLogoSize, colour.get(), &format, DIB_RGB_COLORS) ==
            kLogoSize &&
        GetDIBits(dc, info.hbmMask, 0, kLogoSize, mask.get(), &format, DIB_RGB_COLORS) == kLogoSize;
    ReleaseDC(nullptr, dc);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (!read) return false;
    // Icons without an alpha channel have their shape in the mask.
    bool hasAlpha = false;
    for (int i = 0; i < kLogoPixels && !hasAlpha; ++i)
        hasAlpha = colour[4 * i + 3] != 0;
    for (int i = 0; i < kLogoPixels; ++i) {
        const uint8_t* bgra = &colour[4 * i];
        box.source[i].FromBGR8(bgra);
        box.source[i].a = hasAlpha ? bgra[3] / 255.0f : (mask[4 * i] ? 0.0f : 1.0f);
    }
    return true;
}

void StepAboutLogo(AboutBox& box) {
    float matrix[9];
    HueRotationMatrix(box.hueAngle, matrix);
    box.hueAngle = NextHueAngle(box.hueAngle);
    ILColor face;
    face.FromCOLORREF(g_styleColors.Face);
    RenderLogo(box.source, matrix, face, box.logo.pixels, box.logo.stride);
}

void DrawLine(HDC dc, int x, int y, const char* text) {
    RECT rect = {x, y, x + kWidth, y + kRowHeight + 4};
    DrawTextA(dc, text, -1, &rect, DT_NOPREFIX | DT_SINGLELINE | DT_NOCLIP);
}

void PaintAboutBox(const AboutBox& box, HDC dc) {
    RECT client;
    GetClientRect(box.window, &client);
    FillRect(dc, &client, g_styleBrushes.Window);
    FrameRect(dc, &client, g_styleBrushes.Shadow);
    InflateRect(&client, -6, -6);
    FillRect(dc, &client, g_styleBrushes.Face);
    FrameRect(dc, &client, g_styleBrushes.Text);
    box.logo.Draw(dc, 16, 16);

    SetBkColor(dc, g_styleColors.Face);
    SetTextColor(dc, g_styleColors.Text);
    SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.boldFont);
    const char title[] = "Vx - Version 1.1.7";
    DrawLine(dc, 75, 32, title);
    // After the title, also where the bold face runs wider than usual.
    SIZE size = {};
    GetTextExtentPoint32A(dc, title, static_cast<int>(sizeof title - 1), &size);
    DrawLine(dc, std::max<int>(180, 75 + size.cx + 8), 32, "x64");
    SelectObject(dc, g_interfaceFonts.normalFont);
    DrawLine(dc, 17, 94, "based on Tavrinex Image Library 0.7.13, January 2018");
    DrawLine(dc, 17, 136, "Support Libraries:");
    SelectObject(dc, g_interfaceFonts.smallFont);
    DrawLine(dc, 18, 73, "An image viewer and editor for Windows desktops.");
    DrawLine(dc, 18, 111, "Image library and JPEG 2000 codec of its own, with these libraries:");
    int y = kFirstRowY;
    for (size_t i = 0; i < box.libraryCount; ++i, y += kRowHeight) {
        const ILLibraryVersion& library = box.libraries[i];
        DrawLine(dc, 17, y, library.name);
        DrawLine(dc, 106, y, library.version);
        DrawLine(dc, 196, y, LicenceOf(library.name));
    }
    const int last = y - kRowHeight;
    SelectObject(dc, g_interfaceFonts.normalFont);
    DrawLine(dc, 17, last + 21, "Special thanks and greetings,");
    SelectObject(dc, g_interfaceFonts.smallFont);
    DrawLine(dc, 18, last + 38, "to the authors of the libraries above,");
    DrawLine(dc, 18, last + 53, "and to everyone who sent images that broke things.");
    SelectObject(dc, oldFont);
}

void SetOpacity(HWND window, int alpha) {
    SetLayeredWindowAttributes(window, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
}

void OnPaint(const AboutBox& box) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(box.window, &ps);
    PaintAboutBox(box, dc);
    EndPaint(box.window, &ps);
}

void OnTimer(AboutBox& box, WPARAM timer) {
    if (timer != kAboutLogoTimer) return;
    StepAboutLogo(box);
    const HDC dc = GetDC(box.window);
    box.logo.Draw(dc, 16, 16);
    ReleaseDC(box.window, dc);
}

LRESULT AboutMessage(AboutBox& box, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint(box);
            return 1;
        case WM_CONTEXTMENU:
            return 1;
        case WM_CLOSE:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            CloseAboutBox(*box.open, true);
            return 0;
        case WM_TIMER:
            OnTimer(box, wParam);
            return 0;
        case WM_MOUSEWHEEL:
            // The main window zooms or browses.
            SendMessageW(box.owner, message, wParam, lParam);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

void ShowAboutBox(AboutBox*& open, HWND owner, HINSTANCE instance) {
    if (open) {
        CloseAboutBox(open, true);
        return;
    }
    auto box = std::unique_ptr<AboutBox>(new (std::nothrow) AboutBox);
    if (!box || !box->logo.Create(kLogoSize, kLogoSize, 24, nullptr) || !LoadAboutLogo(*box))
        return;
    box->open = &open;
    box->owner = owner;
    box->libraryCount = ILGetLibraryVersions(box->libraries, kILLibraryCount);
    StepAboutLogo(*box);

    RECT main = {};
    GetWindowRect(owner, &main);
    const int height = BoxHeight(*box);
    const HWND window = CreateWindowExW(WS_EX_LAYERED, L"VxTool", L"", WS_POPUP,
                                        (main.left + main.right) / 2 - kWidth / 2,
                                        (main.top + main.bottom) / 2 - height / 2 + 14, kWidth,
                                        height, owner, nullptr, instance, nullptr);
    if (!window) return;
    box->window = window;
    open = box.release();
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(open));
    SetWindowLongPtrW(window, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(WindowProcOf<AboutBox, AboutMessage>));
    SetOpacity(window, 0);
    ShowWindow(window, SW_SHOW);
    const HDC dc = GetDC(window);
    PaintAboutBox(*open, dc);
    ReleaseDC(window, dc);
    for (int alpha = 1; alpha <= 255; ++alpha)
        SetOpacity(window, alpha);
    SetTimer(window, kAboutLogoTimer, kTickMs, nullptr);
}

void CloseAboutBox(AboutBox*& open, bool fade) {
    AboutBox* box = open;
    if (!box) return;
    open = nullptr;
    KillTimer(box->window, kAboutLogoTimer);
    if (fade)
        for (int alpha = 255; alpha >= 1; --alpha)
            SetOpacity(box->window, alpha);
    SetWindowLongPtrW(box->window, GWLP_USERDATA, 0);
    DestroyWindow(box->window);
    delete box;
}

void RefreshAboutBox(AboutBox* open) {
    AboutBox* box = open;
    if (!box) return;
    KillTimer(box->window, kAboutLogoTimer);
    StepAboutLogo(*box);
    InvalidateRect(box->window, nullptr, TRUE);
    SetTimer(box->window, kAboutLogoTimer, kTickMs, nullptr);
}
