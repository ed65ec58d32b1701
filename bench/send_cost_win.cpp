// The floor under the updater's per-block display: what one message sent from a worker thread to a
// window of the user-interface thread costs, the one trip each progress update must make. Shows dialog
// template 1000 (the updater's), then times from a second thread SendMessage of WM_NULL, which the
// window answers at once, and SetWindowTextA on the status line, which also repaints it.
// Prints "<microseconds per WM_NULL> <microseconds per SetWindowTextA>".

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

namespace {

constexpr int rounds = 2000;
HWND dialog = nullptr;
double per_null_us = 0;
double per_text_us = 0;

double now_us()
{
    LARGE_INTEGER frequency{}, counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

DWORD WINAPI worker(void*)
{
    HWND label = GetDlgItem(dialog, 1004);
    for (int i = 0; i < 100; ++i) // warm-up
        SendMessageA(label, WM_NULL, 0, 0);
    double start = now_us();
    for (int i = 0; i < rounds; ++i)
        SendMessageA(label, WM_NULL, 0, 0);
    per_null_us = (now_us() - start) / rounds;
    start = now_us();
    char text[64];
    for (int i = 0; i < rounds; ++i) {
        wsprintfA(text, "%d KB", i * 10);
        SetWindowTextA(label, text);
    }
    per_text_us = (now_us() - start) / rounds;
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    return 0;
}

INT_PTR CALLBACK dialog_procedure(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        dialog = window;
        CloseHandle(CreateThread(nullptr, 0, worker, nullptr, 0, nullptr));
        return TRUE;
    case WM_CLOSE:
        EndDialog(window, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int main()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1000), nullptr, dialog_procedure, 0);
    std::printf("%.1f %.1f\n", per_null_us, per_text_us);
    return 0;
}
