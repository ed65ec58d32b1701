// Start-up timing from inside Wine, where a vendor's application starts the updater: the time from
// CreateProcess to the program's dialog being visible, for two command lines taken in turns, so that
// each pair of figures shares the machine's state of the moment.
//
// startup_probe RUNS COMMAND_A COMMAND_B
// prints one line per run: "<ms for A> <ms for B>"; a window that never shows is reported as -1.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr DWORD window_timeout_ms = 60000;

struct Search {
    DWORD process_id;
    const wchar_t* title;
    bool found;
};

BOOL CALLBACK match_window(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.process_id || !IsWindowVisible(window))
        return TRUE;
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (std::wcscmp(title, search.title) != 0)
        return TRUE;
    search.found = true;
    return FALSE;
}

double now_ms()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Every started program goes into a job that kills it when closed, so none outlives the probe.
double time_to_window(const char* command, const wchar_t* title)
{
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOA startup{sizeof startup};
    PROCESS_INFORMATION process{};
    char line[4096];
    std::snprintf(line, sizeof line, "%s", command);
    const double start = now_ms();
    double elapsed = -1;
    if (CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        AssignProcessToJobObject(job, process.hProcess);
        Search search{process.dwProcessId, title, false};
        while (now_ms() - start < window_timeout_ms) {
            EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
            if (search.found) {
                elapsed = now_ms() - start;
                break;
            }
            if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)
                break;
        }
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(job);
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: startup_probe RUNS COMMAND_A COMMAND_B\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    // The updater's window title, "程序更新"; the minimal dialog shows the same template.
    const wchar_t* title = L"\u7a0b\u5e8f\u66f4\u65b0";
    for (int run = 0; run < runs; ++run) {
        // Alternate which goes first, so neither always inherits the other's warm caches.
        const bool a_first = run % 2 == 0;
        const double first = time_to_window(a_first ? argv[2] : argv[3], title);
        const double second = time_to_window(a_first ? argv[3] : argv[2], title);
        std::printf("%.1f %.1f\n", a_first ? first : second, a_first ? second : first);
        std::fflush(stdout);
    }
    return 0;
}
