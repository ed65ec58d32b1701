#pragma once
// A stand-in for the updater's form, made at run time: a top-level window that paints its own
// background (as the program does) with a button, a static text and a smooth progress bar; and a way to
// read its pixels back and keep them as a bitmap file.

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace test_window {

inline constexpr COLORREF form_colour = RGB(228, 243, 249);

inline LRESULT CALLBACK form_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_ERASEBKGND) {
        RECT rect;
        GetClientRect(window, &rect);
        HBRUSH brush = CreateSolidBrush(form_colour);
        FillRect(reinterpret_cast<HDC>(wparam), &rect, brush);
        DeleteObject(brush);
        return 1;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

struct Form {
    HWND window = nullptr;
    HWND button = nullptr;
    HWND label = nullptr;
    HWND bar = nullptr;

    Form()
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        WNDCLASSA form_class{};
        form_class.lpfnWndProc = form_procedure;
        form_class.hInstance = GetModuleHandleA(nullptr);
        form_class.lpszClassName = "SkinTestForm";
        form_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
        RegisterClassA(&form_class); // fails harmlessly when already registered
        window = CreateWindowExA(0, "SkinTestForm", "skin test", WS_POPUP | WS_VISIBLE, 20, 20, 320, 140,
                                 nullptr, nullptr, form_class.hInstance, nullptr);
        label = add("Static", "Downloading", SS_LEFT, 10, 10, 300, 20);
        bar = add(PROGRESS_CLASSA, "", PBS_SMOOTH, 10, 40, 300, 20);
        button = add("Button", "Cancel", BS_PUSHBUTTON, 110, 80, 100, 30);
        SendMessageA(bar, PBM_SETPOS, 50, 0);
        settle();
    }
    ~Form() { DestroyWindow(window); }
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    HWND add(const char* cls, const char* text, DWORD style, int x, int y, int w, int h) const
    {
        return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }

    // Repaints everything now and lets pending messages through.
    void settle() const
    {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        UpdateWindow(window);
        GdiFlush();
    }
};

// The form's client area as 0x00RRGGBB pixels, row by row from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    // The pixel at client point (x, y) of `control`, as a COLORREF.
    COLORREF at(HWND form, HWND control, int x, int y) const
    {
        POINT p{x, y};
        MapWindowPoints(control, form, &p, 1);
        const std::uint32_t v = pixels[static_cast<std::size_t>(p.y) * width + p.x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    bool operator==(const Picture&) const = default;

    void save_bmp(const std::string& path) const
    {
        BITMAPFILEHEADER file{};
        BITMAPINFOHEADER info{};
        info.biSize = sizeof info;
        info.biWidth = width;
        info.biHeight = -height;
        info.biPlanes = 1;
        info.biBitCount = 32;
        const DWORD bytes = static_cast<DWORD>(pixels.size() * 4);
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info;
        file.bfSize = file.bfOffBits + bytes;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(&file), sizeof file);
        out.write(reinterpret_cast<const char*>(&info), sizeof info);
        out.write(reinterpret_cast<const char*>(pixels.data()), bytes);
    }
};

inline Picture capture(HWND window)
{
    RECT rect;
    GetClientRect(window, &rect);
    Picture picture;
    picture.width = rect.right;
    picture.height = rect.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const std::uint32_t* p = static_cast<const std::uint32_t*>(bits);
    picture.pixels.assign(p, p + static_cast<std::size_t>(picture.width) * picture.height);
    for (std::uint32_t& v : picture.pixels)
        v &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return picture;
}

inline LONG_PTR procedure_of(HWND window)
{
    return GetWindowLongPtrA(window, GWLP_WNDPROC);
}

} // namespace test_window
