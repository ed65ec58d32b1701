#pragma once

#include <atomic>
#include <cstdint>

#include "app/download_core.h"
#include "runtime/files.h"
#include "runtime/text.h"

// Fetches `url` into `file_name` block by block, calling `progress` after each written block. 0 on success;
// -1 on failure, already told to the user, or after a stop request, which shows nothing. With `resume` the
// file is appended to and the server asked for the bytes from `start_offset` on.
std::int32_t download_to_file(const Text& url, const Text& file_name, ProgressCallback progress,
                              std::int32_t start_offset, bool resume);

// The two halves of download_to_file, for a caller that has something to do between them: the download,
// which has closed its file when it returns, and the message for its outcome, if any.
DownloadOutcome fetch_to_file(const DownloadRequest& request, ProgressCallback progress);
void report_download_outcome(DownloadOutcome outcome);

// The output file of the latest download (0: none opened). Written by the downloading thread; the window's
// cancel and close handlers read it to close the file before deleting it. It keeps its value after the
// download has closed the file, since closing a closed handle does nothing.
extern std::atomic<FileHandle> download_file;

// From any thread: the download ends at the next block, and its WinINet handles are closed at once so that a
// blocked connect or read gives up.
void request_download_stop();
// Before a new download that should run after an earlier stop.
void reset_download_stop();
