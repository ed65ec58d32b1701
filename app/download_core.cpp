#include "app/download_core.h"

#include <vector>

#include "resources/texts.h"
#include "runtime/numbers.h"

namespace {

constexpr std::uint32_t partial_content = 206;
constexpr std::uint32_t zero_elapsed_substitute = 10;
constexpr std::uint32_t mb_iconinformation = 0x40;

// With a byte range asked for, only a partial answer fits behind the bytes already in the file: a whole file
// (200) appended there would corrupt it. Otherwise any 2xx will do. An address whose scheme has no HTTP
// status (the status cannot be queried) is judged by its body alone.
bool status_accepted(std::optional<std::uint32_t> status, const DownloadRequest& request)
{
    if (!status) {
        return true;
    }
    if (request.resume && request.start_offset != 0) {
        return *status == partial_content;
    }
    return *status >= 200 && *status <= 299;
}

// Closes the output file on every way out of the read loop.
class OutputCloser {
  public:
    explicit OutputCloser(DownloadSystem& system) : system_(system) {}
    OutputCloser(const OutputCloser&) = delete;
    OutputCloser& operator=(const OutputCloser&) = delete;
    ~OutputCloser() { system_.close_output(); }

  private:
    DownloadSystem& system_;
};

std::int32_t low_32_bits(std::uint64_t value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

} // namespace

Text download_agent_name(std::uint32_t tick_count)
{
    return join_texts({"Agent", number_to_text(static_cast<std::int32_t>(tick_count))});
}

Text download_headers(bool resume, std::int32_t start_offset)
{
    if (!resume) {
        return Text(download_header_block);
    }
    return join_texts({download_header_block, "\r\nRange:bytes=", number_to_text(start_offset), "-"});
}

std::uint32_t download_access_type(std::uint32_t connected_state_flags)
{
    return (connected_state_flags & connection_uses_proxy) != 0 ? access_preconfig
                                                                : access_preconfig_no_autoproxy;
}

std::int32_t download_elapsed_ms(std::uint32_t start_tick, std::uint32_t now_tick)
{
    // Unsigned subtraction is modulo 2^32, so a wrap of the counter in between does no harm.
    const std::uint32_t elapsed = now_tick - start_tick;
    return static_cast<std::int32_t>(elapsed == 0 ? zero_elapsed_substitute : elapsed);
}

std::optional<std::uint64_t> parse_content_length(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

DownloadOutcome run_download(DownloadSystem& system, const DownloadRequest& request,
                             ProgressCallback progress)
{
    if (system.stop_requested()) {
        return DownloadOutcome::stopped;
    }
    const std::uint32_t connected_flags = system.connected_state_flags();
    const Text agent_name = download_agent_name(system.tick_count());
    if (!system.open_internet(agent_name, download_access_type(connected_flags))) {
        return system.stop_requested() ? DownloadOutcome::stopped : DownloadOutcome::no_internet;
    }
    // A stop closes the handles, which is what makes a blocked open give up.
    if (!system.open_url(request.url, download_headers(request.resume, request.start_offset),
                         download_request_flags)) {
        return system.stop_requested() ? DownloadOutcome::stopped : DownloadOutcome::cannot_open_address;
    }
    // Judged before the output file is opened, so a refused answer leaves the file as it was.
    if (!status_accepted(system.status_code(), request)) {
        return system.stop_requested() ? DownloadOutcome::stopped : DownloadOutcome::cannot_open_address;
    }
    // The text form carries lengths above 4 GiB; the numeric form is only the fallback.
    std::optional<std::uint64_t> announced;
    if (const std::optional<Text> length_text = system.content_length_text()) {
        announced = parse_content_length(*length_text);
    }
    std::int32_t total = 0;
    if (announced) {
        total = low_32_bits(*announced);
    } else if (const std::optional<std::uint32_t> number = system.content_length_number()) {
        total = static_cast<std::int32_t>(*number);
    }

    const bool keep_content = request.resume && system.file_exists(request.file_name);
    if (!system.open_output(request.file_name, keep_content ? open_mode_append : open_mode_create)) {
        return DownloadOutcome::cannot_open_output;
    }
    OutputCloser closer(system);
    if (request.resume) {
        system.seek_output_to_end();
    }

    // The file's real length is not compared with start_offset: the caller vouches for it.
    const auto start_offset = static_cast<std::uint64_t>(static_cast<std::int64_t>(request.start_offset));
    std::uint64_t count = request.resume ? start_offset : 0;
    std::uint64_t received_here = 0;
    std::vector<std::uint8_t> buffer(download_block_size);
    const std::uint32_t start_tick = system.tick_count();
    for (;;) {
        if (system.stop_requested()) {
            return DownloadOutcome::stopped;
        }
        std::size_t bytes_read = 0;
        const bool read_ok = system.read(buffer, bytes_read);
        // A stop closes the request under a blocked read, which then fails or ends early: that is no fault.
        if (system.stop_requested()) {
            return DownloadOutcome::stopped;
        }
        if (!read_ok || bytes_read > buffer.size()) {
            return DownloadOutcome::read_error;
        }
        if (bytes_read == 0) {
            break;
        }
        if (!system.write_output(std::span<const std::uint8_t>(buffer.data(), bytes_read))) {
            return DownloadOutcome::cannot_open_output;
        }
        count += bytes_read;
        received_here += bytes_read;
        const std::int32_t elapsed = download_elapsed_ms(start_tick, system.tick_count());
        if (progress != nullptr) {
            progress(total, low_32_bits(count), elapsed, low_32_bits(count - start_offset));
        }
    }
    // An empty answer would replace the program with nothing.
    if (received_here == 0) {
        return DownloadOutcome::cannot_open_address;
    }
    if (announced && received_here < *announced) {
        return DownloadOutcome::read_error;
    }
    return DownloadOutcome::complete;
}

std::optional<DownloadMessage> download_failure_message(DownloadOutcome outcome)
{
    switch (outcome) {
    case DownloadOutcome::no_internet:
        return DownloadMessage{texts::internet_error, {}, 0};
    case DownloadOutcome::cannot_open_address:
        return DownloadMessage{texts::cannot_open_address, texts::update_failed_caption, mb_iconinformation};
    case DownloadOutcome::cannot_open_output:
        return DownloadMessage{texts::cannot_open_output, texts::update_failed_caption, mb_iconinformation};
    case DownloadOutcome::read_error:
        return DownloadMessage{texts::read_error, {}, 0};
    case DownloadOutcome::complete:
    case DownloadOutcome::stopped:
        break;
    }
    return std::nullopt;
}
