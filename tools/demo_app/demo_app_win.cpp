// A small application that integrates the updater the way a vendor's program would: its window has a
// "Check for update" button that starts updater.exe beside it with its own window handle. It is built
// twice, as version 1 and version 2, for the README's demo and the end-to-end tests.
//
// Options (all optional):
//   --update-url URL   the address of the new version; enables the button
//   --auto-update      press the button at start-up
//   --hwnd-file PATH   write this window's handle, in decimal, to PATH
//   --refuse-close     ignore WM_CLOSE (an application asking its user to save work)
//   --close-delay MS   take MS milliseconds to close after WM_CLOSE
// Every start appends "version N" to started.log beside the program.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#ifndef DEMO_VERSION
#define DEMO_VERSION 1
#endif

namespace {

constexpr int update_button_id = 100;

struct Options {
    std::string update_url;
    std::string hwnd_file;
    bool auto_update = false;
    bool refuse_close = false;
    DWORD close_delay_ms = 0;
};

Options options;

std::string module_path()
{
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

std::string directory_of(const std::string& path)
{
    auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

void append_start_record()
{
    std::string log = directory_of(module_path()) + "\\started.log";
    if (FILE* file = std::fopen(log.c_str(), "a")) {
        std::fprintf(file, "version %d\n", DEMO_VERSION);
        std::fclose(file);
    }
}

void start_updater(HWND window)
{
    std::string exe = module_path();
    std::string name = exe.substr(exe.find_last_of('\\') + 1);
    std::string updater = directory_of(exe) + "\\updater.exe";
    // The one argument: address, file name to replace, our window handle, two integers we don't use.
    std::string command = "\"" + updater + "\" \"" + options.update_url + "," + name + "," +
                          std::to_string(reinterpret_cast<UINT_PTR>(window)) + ",0\"";
    STARTUPINFOA startup{sizeof startup};
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        MessageBoxA(window, "updater.exe could not be started.", "Demo application", MB_ICONERROR);
    }
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE: {
        auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        char text[96];
        std::snprintf(text, sizeof text, "This is version %d of the demo application.", DEMO_VERSION);
        HWND label = CreateWindowA("STATIC", text, WS_CHILD | WS_VISIBLE, 20, 20, 360, 20, window, nullptr,
                                   nullptr, nullptr);
        SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        HWND button = CreateWindowA("BUTTON", "Check for update", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 20, 60,
                                    160, 28, window, reinterpret_cast<HMENU>(update_button_id), nullptr,
                                    nullptr);
        SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        EnableWindow(button, !options.update_url.empty());
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == update_button_id)
            start_updater(window);
        return 0;
    case WM_CLOSE:
        if (options.refuse_close)
            return 0;
        if (options.close_delay_ms)
            Sleep(options.close_delay_ms);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

void read_options()
{
    for (int i = 1; i < __argc; ++i) {
        std::string argument = __argv[i];
        auto next = [&]() -> std::string { return i + 1 < __argc ? __argv[++i] : std::string(); };
        if (argument == "--update-url")
            options.update_url = next();
        else if (argument == "--hwnd-file")
            options.hwnd_file = next();
        else if (argument == "--auto-update")
            options.auto_update = true;
        else if (argument == "--refuse-close")
            options.refuse_close = true;
        else if (argument == "--close-delay")
            options.close_delay_ms = static_cast<DWORD>(std::strtoul(next().c_str(), nullptr, 10));
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    read_options();
    append_start_record();

    WNDCLASSA window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = "UpdaterDemoApplication";
    RegisterClassA(&window_class);

    char title[64];
    std::snprintf(title, sizeof title, "Demo application %d", DEMO_VERSION);
    HWND window = CreateWindowA(window_class.lpszClassName, title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                420, 80, 420, 150, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, show);
    UpdateWindow(window);

    if (!options.hwnd_file.empty()) {
        // Written under a temporary name and renamed, so a reader never sees half a number.
        std::string partial = options.hwnd_file + ".partial";
        if (FILE* file = std::fopen(partial.c_str(), "w")) {
            std::fprintf(file, "%llu", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
            std::fclose(file);
            MoveFileExA(partial.c_str(), options.hwnd_file.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    if (options.auto_update)
        PostMessageA(window, WM_COMMAND, update_button_id, 0);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
