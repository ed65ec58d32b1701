#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "runtime/text.h"

// Called after every written block, on the downloading thread. Counts are the low 32 bits of 64-bit counts;
// elapsed_ms is never 0, so the receiver may divide by it.
using ProgressCallback = void (*)(std::int32_t total_bytes, std::int32_t downloaded_bytes,
                                  std::int32_t elapsed_ms, std::int32_t received_bytes);

// Sent with every request, without a final line break (156 bytes).
inline constexpr std::string_view download_header_block =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: "
    "Mozilla/4.0(compatible; "
    "MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)";

// INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE: an update must come
// from the server itself, never from a cache.
inline constexpr std::uint32_t download_request_flags = 0x84000100;
inline constexpr std::uint32_t connection_uses_proxy = 0x4; // INTERNET_CONNECTION_PROXY
inline constexpr std::uint32_t access_preconfig = 0;        // INTERNET_OPEN_TYPE_PRECONFIG
inline constexpr std::uint32_t access_preconfig_no_autoproxy = 4;
inline constexpr std::size_t download_block_size = 10240;
inline constexpr int open_mode_create = 4; // write, truncate or create
inline constexpr int open_mode_append = 5; // write, keep content or create

Text download_agent_name(std::uint32_t tick_count);
Text download_headers(bool resume, std::int32_t start_offset);
std::uint32_t download_access_type(std::uint32_t connected_state_flags);
// Milliseconds between two tick readings across a wrap of the counter; 0 becomes 10 so nobody divides by it.
std::int32_t download_elapsed_ms(std::uint32_t start_tick, std::uint32_t now_tick);
// Content-Length as sent, in 64 bits; empty when it is not a plain decimal number.
std::optional<std::uint64_t> parse_content_length(std::string_view text);

// The system beneath one download: WinINet, the tick counter and the output file. The engine drives it;
// the Windows build talks to the real thing, the tests to fakes.
class DownloadSystem {
  public:
    virtual ~DownloadSystem() = default;

    virtual std::uint32_t tick_count() = 0;
    virtual bool stop_requested() = 0;

    virtual std::uint32_t connected_state_flags() = 0;
    virtual bool open_internet(const Text& agent_name, std::uint32_t access_type) = 0;
    virtual bool open_url(const Text& url, const Text& headers, std::uint32_t flags) = 0;
    virtual std::optional<std::uint32_t> status_code() = 0;
    virtual std::optional<std::uint32_t> content_length_number() = 0;
    virtual std::optional<Text> content_length_text() = 0;
    // False when the read failed; bytes_read 0 with true is the end of the body.
    virtual bool read(std::span<std::uint8_t> buffer, std::size_t& bytes_read) = 0;

    virtual bool file_exists(const Text& file_name) = 0;
    virtual bool open_output(const Text& file_name, int mode) = 0;
    virtual void seek_output_to_end() = 0;
    virtual bool write_output(std::span<const std::uint8_t> bytes) = 0;
    virtual void close_output() = 0;
};

struct DownloadRequest {
    Text url;
    Text file_name;
    std::int32_t start_offset = 0;
    bool resume = false;
};

enum class DownloadOutcome {
    complete,
    no_internet,         // no Internet handle
    cannot_open_address, // no request handle, a status other than 2xx, or nothing to install
    cannot_open_output,  // the output file cannot be opened or a block cannot be written
    read_error,          // a failed read, or a body shorter than announced
    stopped,             // stop requested; the user asked for it, so nothing is shown
};

// Runs one download to its end. The output file is closed on every way out; the caller tells the user.
DownloadOutcome run_download(DownloadSystem& system, const DownloadRequest& request,
                             ProgressCallback progress);

struct DownloadMessage {
    std::string_view content;
    std::string_view caption; // empty: the message service's default caption
    std::uint32_t flags = 0;
};

// The box the user sees for an outcome; none for success and for a stop the user asked for.
std::optional<DownloadMessage> download_failure_message(DownloadOutcome outcome);
