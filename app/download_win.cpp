#include "app/download.h"

// clang-format off
#include <windows.h>
#include <wininet.h>
// clang-format on

#include <algorithm>
#include <vector>

#include "runtime/message_box.h"

std::atomic<FileHandle> download_file{0};

namespace {

std::atomic<bool> stop_flag{false};

// WinINet handles of downloads in progress. The downloading thread opens and normally closes them; a stop
// request from another thread may close them first. Whoever takes a handle out of this list under the lock
// closes it, so no handle is ever closed twice.
SRWLOCK open_handles_lock = SRWLOCK_INIT;
std::vector<HINTERNET> open_handles;

// A slim reader/writer lock held exclusively; std::mutex would bring winpthread and std::system_error into
// a program that ships beside every application.
class ExclusiveLock {
  public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  private:
    SRWLOCK& lock_;
};

class InternetHandle {
  public:
    InternetHandle() = default;
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() { reset(); }

    // Takes ownership; false when there is no handle or a stop came first (the handle is then closed here).
    bool adopt(HINTERNET handle)
    {
        reset();
        if (handle == nullptr) {
            return false;
        }
        const ExclusiveLock lock(open_handles_lock);
        // Checked under the lock: a stop that set the flag is either seen here or finds the handle listed.
        if (stop_flag.load()) {
            InternetCloseHandle(handle);
            return false;
        }
        open_handles.push_back(handle);
        handle_ = handle;
        return true;
    }

    // After a stop this may be a handle that is closed already; WinINet then fails the call, which the
    // engine reads as the stop it is.
    HINTERNET get() const { return handle_; }

    void reset()
    {
        if (handle_ == nullptr) {
            return;
        }
        const ExclusiveLock lock(open_handles_lock);
        const auto found = std::find(open_handles.begin(), open_handles.end(), handle_);
        if (found != open_handles.end()) {
            open_handles.erase(found);
            InternetCloseHandle(handle_);
        }
        handle_ = nullptr;
    }

  private:
    HINTERNET handle_ = nullptr;
};

class WinInetDownloadSystem final : public DownloadSystem {
  public:
    std::uint32_t tick_count() override { return GetTickCount(); }
    bool stop_requested() override { return stop_flag.load(); }

    std::uint32_t connected_state_flags() override
    {
        DWORD flags = 0;
        InternetGetConnectedState(&flags, 0); // only the flags matter: a LAN without them still works
        return flags;
    }

    bool open_internet(const Text& agent_name, std::uint32_t access_type) override
    {
        // Flags 0: every call blocks; a stop breaks a blocked call by closing its handle.
        return internet_.adopt(InternetOpenA(agent_name.c_str(), access_type, nullptr, nullptr, 0));
    }

    bool open_url(const Text& url, const Text& headers, std::uint32_t flags) override
    {
        return request_.adopt(InternetOpenUrlA(internet_.get(), url.c_str(), headers.c_str(),
                                               static_cast<DWORD>(headers.size()), flags, 0));
    }

    std::optional<std::uint32_t> status_code() override
    {
        return query_number(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER);
    }

    std::optional<std::uint32_t> content_length_number() override
    {
        return query_number(HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER);
    }

    std::optional<Text> content_length_text() override
    {
        char value[128] = {};
        DWORD length = sizeof(value);
        DWORD index = 0;
        if (!HttpQueryInfoA(request_.get(), HTTP_QUERY_CONTENT_LENGTH, value, &length, &index)) {
            return std::nullopt;
        }
        return Text(value, std::min<std::size_t>(length, sizeof(value)));
    }

    bool read(std::span<std::uint8_t> buffer, std::size_t& bytes_read) override
    {
        DWORD count = 0;
        const BOOL ok =
            InternetReadFile(request_.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &count);
        bytes_read = count;
        return ok != FALSE;
    }

    bool file_exists(const Text& file_name) override { return ::file_exists(file_name); }

    bool open_output(const Text& file_name, int mode) override
    {
        // Sharing left open: the window's handlers must be able to close and delete the file meanwhile.
        file_ = open_file(file_name, mode);
        download_file.store(file_);
        return file_ != 0;
    }

    void seek_output_to_end() override { seek_to_end(file_); }

    bool write_output(std::span<const std::uint8_t> bytes) override { return write_bytes(file_, bytes) != 0; }

    void close_output() override { close_file(file_); }

  private:
    std::optional<std::uint32_t> query_number(DWORD info_level)
    {
        DWORD value = 0;
        DWORD length = sizeof(value);
        DWORD index = 0;
        if (!HttpQueryInfoA(request_.get(), info_level, &value, &length, &index)) {
            return std::nullopt;
        }
        return value;
    }

    // The request is declared last so that it is closed before the Internet handle it belongs to.
    InternetHandle internet_;
    InternetHandle request_;
    FileHandle file_ = 0;
};

} // namespace

DownloadOutcome fetch_to_file(const DownloadRequest& request, ProgressCallback progress)
{
    // The system's destructor closes every handle before the caller tells the user anything.
    WinInetDownloadSystem system;
    return run_download(system, request, progress);
}

void report_download_outcome(DownloadOutcome outcome)
{
    if (const std::optional<DownloadMessage> message = download_failure_message(outcome)) {
        message_box(message->content, message->flags, message->caption);
    }
}

std::int32_t download_to_file(const Text& url, const Text& file_name, ProgressCallback progress,
                              std::int32_t start_offset, bool resume)
{
    const DownloadOutcome outcome = fetch_to_file({url, file_name, start_offset, resume}, progress);
    report_download_outcome(outcome);
    return outcome == DownloadOutcome::complete ? 0 : -1;
}

void request_download_stop()
{
    stop_flag.store(true);
    const ExclusiveLock lock(open_handles_lock);
    // Newest first: a request goes before the Internet handle it was opened from.
    for (auto it = open_handles.rbegin(); it != open_handles.rend(); ++it) {
        InternetCloseHandle(*it);
    }
    open_handles.clear();
}

void reset_download_stop()
{
    stop_flag.store(false);
}
