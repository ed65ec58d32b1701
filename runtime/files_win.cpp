#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "runtime/files.h"
#include "runtime/paths.h"
#include "runtime/scoped_handle_win.h"
#include "ui/program_end.h"

namespace {

// One record per open file. A FileHandle is the record's address; it is only ever compared with the
// addresses in the list, never followed, so a stale or foreign value is harmless.
struct OpenFileRecord {
    std::int32_t kind;
    HANDLE handle;
    OpenFileRecord* next;
};

constexpr std::int32_t win32_file_record = 1;

// The worker thread opens, writes and closes its download file while the user-interface thread may
// close all files, and the worker may be killed with TerminateThread at any point. So the list is
// guarded by a kernel mutex rather than a critical section: a mutex whose owner dies is abandoned and
// handed to the next waiter instead of blocking it for ever. Every change of the list is a single
// pointer store made after the new record is complete, so an abandoned list is still well formed.
// The mutex lives as long as the process.
BOOL CALLBACK create_list_mutex(PINIT_ONCE, PVOID, PVOID* mutex)
{
    *mutex = CreateMutexA(nullptr, FALSE, nullptr);
    return *mutex != nullptr;
}

HANDLE list_mutex()
{
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    void* mutex = nullptr;
    if (!InitOnceExecuteOnce(&once, create_list_mutex, nullptr, &mutex))
        return nullptr; // out of kernel objects: go on unguarded rather than fail every file service
    return mutex;
}

class ListLock {
  public:
    ListLock() : mutex_(list_mutex())
    {
        // WAIT_ABANDONED grants ownership just as WAIT_OBJECT_0 does.
        if (mutex_ != nullptr && WaitForSingleObject(mutex_, INFINITE) == WAIT_FAILED)
            mutex_ = nullptr;
    }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
    ~ListLock()
    {
        if (mutex_ != nullptr)
            ReleaseMutex(mutex_);
    }

  private:
    HANDLE mutex_;
};

OpenFileRecord* open_files = nullptr; // newest first; guarded by ListLock

OpenFileRecord* find_open_file(FileHandle file)
{
    for (OpenFileRecord* record = open_files; record != nullptr; record = record->next) {
        if (reinterpret_cast<FileHandle>(record) == file)
            return record;
    }
    return nullptr;
}

// One WriteFile takes at most a DWORD's worth of bytes; bigger buffers go in slices.
bool write_all(HANDLE handle, std::span<const std::uint8_t> bytes)
{
    constexpr std::size_t slice = 1u << 30;
    while (!bytes.empty()) {
        const auto length = static_cast<DWORD>(std::min(bytes.size(), slice));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), length, &written, nullptr) || written != length)
            return false;
        bytes = bytes.subspan(length);
    }
    return true;
}

struct OpenMode {
    DWORD access;
    DWORD disposition;
};

OpenMode open_mode(int mode)
{
    switch (mode) {
    case 1:
        return {GENERIC_READ, OPEN_EXISTING};
    case 2:
        return {GENERIC_WRITE, OPEN_EXISTING};
    case 4:
        return {GENERIC_WRITE, CREATE_ALWAYS};
    case 5:
        return {GENERIC_WRITE, OPEN_ALWAYS};
    case 6:
        return {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS};
    default:
        return {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING};
    }
}

DWORD share_mode(int sharing)
{
    switch (sharing) {
    case 2:
        return FILE_SHARE_WRITE;
    case 3:
        return FILE_SHARE_READ;
    case 4:
        return 0;
    default:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    }
}

WORD show_command(int show_mode)
{
    switch (show_mode) {
    case 1:
        return SW_HIDE;
    case 3:
        return SW_SHOWMINIMIZED;
    case 4:
        return SW_SHOWMAXIMIZED;
    case 5:
        return SW_SHOWNOACTIVATE;
    case 6:
        return SW_SHOWMINNOACTIVE;
    default:
        return SW_SHOW;
    }
}

} // namespace

FileHandle open_file(const Text& path, int mode, int sharing)
{
    const OpenMode chosen = open_mode(mode);
    ScopedHandle handle(CreateFileA(path.c_str(), chosen.access, share_mode(sharing), nullptr,
                                    chosen.disposition, FILE_ATTRIBUTE_ARCHIVE, nullptr));
    if (!handle)
        return 0;
    // Allocated before taking the lock, so running out of memory never happens while holding it.
    auto* record = new (std::nothrow) OpenFileRecord{win32_file_record, handle.get(), nullptr};
    if (record == nullptr)
        return 0;
    handle.release();

    ListLock lock;
    record->next = open_files;
    if (open_files == nullptr)
        arrange_exit_step(ExitStepPlace::open_files, close_all_files);
    open_files = record;
    return reinterpret_cast<FileHandle>(record);
}

void close_file(FileHandle file)
{
    if (file == 0)
        return;
    OpenFileRecord* closing = nullptr;
    {
        ListLock lock;
        for (OpenFileRecord** link = &open_files; *link != nullptr; link = &(*link)->next) {
            if (reinterpret_cast<FileHandle>(*link) == file) {
                closing = *link;
                *link = closing->next;
                break;
            }
        }
        if (closing == nullptr)
            return;
        if (open_files == nullptr)
            arrange_exit_step(ExitStepPlace::open_files, nullptr);
    }
    CloseHandle(closing->handle);
    delete closing;
}

void close_all_files()
{
    OpenFileRecord* closing = nullptr;
    {
        ListLock lock;
        closing = std::exchange(open_files, nullptr);
        if (closing == nullptr)
            return;
        arrange_exit_step(ExitStepPlace::open_files, nullptr);
    }
    while (closing != nullptr) {
        OpenFileRecord* next = closing->next;
        CloseHandle(closing->handle);
        delete closing;
        closing = next;
    }
}

std::uint32_t seek_to_end(FileHandle file)
{
    // The lock stays held over the system call so another thread cannot close the handle under it.
    ListLock lock;
    const OpenFileRecord* record = find_open_file(file);
    if (record == nullptr)
        return 0;
    return SetFilePointer(record->handle, 0, nullptr, FILE_END);
}

int write_bytes(FileHandle file, std::span<const std::uint8_t> bytes)
{
    ListLock lock;
    const OpenFileRecord* record = find_open_file(file);
    if (record == nullptr)
        return 0;
    return write_all(record->handle, bytes) ? 1 : 0;
}

int write_whole_file(const Text& path, std::span<const std::uint8_t> bytes)
{
    ScopedHandle handle(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr));
    if (!handle)
        return 0;
    return write_all(handle.get(), bytes) ? 1 : 0;
}

bool file_exists(const Text& path)
{
    return PathFileExistsA(path.c_str()) != FALSE;
}

bool delete_file(const Text& path)
{
    return DeleteFileA(path.c_str()) != FALSE;
}

bool move_file(const Text& from, const Text& to)
{
    return MoveFileA(from.c_str(), to.c_str()) != FALSE;
}

Text run_directory()
{
    // The program may sit deeper than MAX_PATH; grow the buffer until the whole path fits.
    constexpr DWORD longest_path = 32768;
    for (DWORD size = MAX_PATH; size <= 2 * longest_path; size *= 2) {
        std::vector<char> buffer(size);
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0)
            return {};
        if (length < size)
            return directory_of(std::string_view(buffer.data(), length));
    }
    return {};
}

bool run_program(const Text& command_line, bool wait, int show_mode)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show_command(show_mode);

    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started))
        return false;
    ScopedHandle process(started.hProcess);
    ScopedHandle thread(started.hThread);
    if (wait)
        WaitForSingleObject(process.get(), INFINITE);
    return true;
}

void sleep_ms(std::uint32_t milliseconds)
{
    Sleep(milliseconds);
}
