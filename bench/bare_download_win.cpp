// The yardstick for the updater's download: the same WinINet calls, the same block size and the same
// request flags, writing to a file, with no window and nothing else. Whatever the updater takes beyond
// this is its own cost.
//
// bare_download URL OUTPUT_FILE; exit code 0 when the whole body was written.

// clang-format off
#include <windows.h>
#include <wininet.h>
// clang-format on

#include <cstdio>

namespace {

constexpr DWORD block_size = 10240;
// Reload, no cache write, pragma no-cache: as the updater asks, so neither side is served from a cache.
constexpr DWORD request_flags = 0x84000100;

struct InternetHandle {
    HINTERNET handle;
    ~InternetHandle()
    {
        if (handle)
            InternetCloseHandle(handle);
    }
};

struct FileHandle {
    HANDLE handle;
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bare_download URL OUTPUT_FILE\n");
        return 2;
    }
    const InternetHandle internet{InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)};
    if (!internet.handle)
        return 1;
    const InternetHandle request{InternetOpenUrlA(internet.handle, argv[1], nullptr, 0, request_flags, 0)};
    if (!request.handle)
        return 1;
    const FileHandle file{CreateFileA(argv[2], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return 1;
    static BYTE block[block_size];
    for (;;) {
        DWORD count = 0;
        if (!InternetReadFile(request.handle, block, block_size, &count))
            return 1;
        if (count == 0)
            return 0;
        DWORD written = 0;
        if (!WriteFile(file.handle, block, count, &written, nullptr) || written != count)
            return 1;
    }
}
