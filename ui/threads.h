#pragma once
// The worker thread and the user-interface thread's message queue.

#include <windows.h>

// Starts `routine(parameter)` on a new thread at once. With `handle`, the thread's handle is stored
// there (null on failure) and left open for the caller; without it, it is closed at once.
bool start_thread(LPTHREAD_START_ROUTINE routine, void* parameter = nullptr, HANDLE* handle = nullptr);

// Stops the thread wherever it is, without its clean-up; the handle stays open.
bool terminate_thread(HANDLE thread);

// Dispatches what waits in the calling thread's queue without waiting for more, and returns when
// the queue is empty or a WM_QUIT is next; the WM_QUIT is left in the queue.
void process_pending_messages();

// Waits up to `timeout_ms` for `object` while still answering messages other threads send to this
// thread's windows (a worker setting a caption waits on them); posted messages stay queued. True
// when the object was signalled.
bool wait_pumping_sent_messages(HANDLE object, DWORD timeout_ms);
