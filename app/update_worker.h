#pragma once
// The whole update, from download to restart, on a thread of its own.

#include <windows.h>

#include <cstdint>

// Downloads the new program into the temporary file; then closes the application, replaces its
// program file, starts it and ends the program. Returns only when the download failed or the update was
// cancelled; the window then stays for the user.
void UpdateWorker();

// The worker thread's entry: runs UpdateWorker.
DWORD WINAPI update_worker_entry(void* parameter);

// The download's progress callback: rewrites the status line and moves the bar, once per block.
void show_progress(std::int32_t total_bytes, std::int32_t downloaded_bytes, std::int32_t elapsed_ms,
                   std::int32_t received_bytes);
