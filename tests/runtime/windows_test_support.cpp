#include "tests/runtime/windows_test_support.h"

#include <vector>

#include "runtime/paths.h"

namespace {

bool visible_item(HWND box, int id)
{
    HWND item = GetDlgItem(box, id);
    return item != nullptr && IsWindowVisible(item);
}

// The icon of a message box is a static control showing an icon; which id it has differs between
// systems, so look at every static child.
bool shows_icon(HWND box)
{
    bool found = false;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM result) -> BOOL {
            if (IsWindowVisible(child) && SendMessageA(child, STM_GETICON, 0, 0) != 0)
                *reinterpret_cast<bool*>(result) = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

ScratchDirectory::ScratchDirectory(std::string_view name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    static int serial = 0;
    path_ = Text(temp) + Text(name) + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDirectory::~ScratchDirectory()
{
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(file("*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileA(file(found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
}

Text read_whole_file(const Text& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    Text content;
    char block[4096];
    DWORD read = 0;
    while (ReadFile(file, block, sizeof(block), &read, nullptr) && read > 0)
        content.append(block, read);
    CloseHandle(file);
    return content;
}

void write_file(const Text& path, std::string_view content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

Text test_program_directory()
{
    char path[MAX_PATH * 4] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    return directory_of(path);
}

Text helper_program()
{
    return test_program_directory() + "\\runtime_report_child.exe";
}

ChildEnd run_child(const Text& command_line)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return {};
    ChildEnd end;
    if (WaitForSingleObject(started.hProcess, 300'000) == WAIT_OBJECT_0) {
        end.ended = true;
        GetExitCodeProcess(started.hProcess, &end.exit_code);
    } else {
        TerminateProcess(started.hProcess, 99);
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return end;
}

BoxWatcher::BoxWatcher(std::string_view caption, int button) : caption_(caption), button_(button)
{
    // The box of an earlier case may still be on its way out; clicking it instead of the new one would
    // leave the new one waiting for ever.
    for (int attempt = 0; attempt < 500 && FindWindowA("#32770", caption_.c_str()); ++attempt)
        Sleep(10);
    thread_ = std::thread([this] {
        // Bounded only so that a box that never comes fails the test instead of hanging it.
        for (int attempt = 0; attempt < 6000; ++attempt) {
            HWND box = FindWindowA("#32770", caption_.c_str());
            if (box == nullptr || !IsWindowVisible(box)) {
                Sleep(20);
                continue;
            }
            seen_.found = true;
            char text[2048] = {};
            GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
            seen_.text = text;
            seen_.has_ok = visible_item(box, IDOK);
            seen_.has_cancel = visible_item(box, IDCANCEL);
            seen_.has_icon = shows_icon(box);
            // Clicked again until it goes: a click that reaches a box still being set up can be lost.
            for (int click = 0; click < 50 && IsWindow(box); ++click) {
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
                for (int wait = 0; wait < 20 && IsWindow(box); ++wait)
                    Sleep(10);
            }
            return;
        }
    });
}

BoxWatcher::~BoxWatcher()
{
    if (thread_.joinable())
        thread_.join();
}

SeenBox BoxWatcher::seen()
{
    if (thread_.joinable())
        thread_.join();
    return seen_;
}
