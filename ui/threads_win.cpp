#include "ui/threads.h"

bool start_thread(LPTHREAD_START_ROUTINE routine, void* parameter, HANDLE* handle)
{
    HANDLE thread = CreateThread(nullptr, 0, routine, parameter, 0, nullptr);
    if (handle != nullptr)
        *handle = thread;
    else if (thread != nullptr)
        CloseHandle(thread);
    return thread != nullptr;
}

bool terminate_thread(HANDLE thread)
{
    return TerminateThread(thread, 0xFFFFFFFF) != FALSE;
}

void process_pending_messages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT) {
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            return;
        if (message.message == WM_QUIT) {
            // Posted by another thread between the two peeks: put it back for the loop that owns it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool wait_pumping_sent_messages(HANDLE object, DWORD timeout_ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        // Peeking delivers the messages already sent; nothing posted is taken off the queue.
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD elapsed = GetTickCount() - start;
        const DWORD remaining = timeout_ms == INFINITE  ? INFINITE
                                : elapsed >= timeout_ms ? 0
                                                        : timeout_ms - elapsed;
        // MWMO_INPUTAVAILABLE: a message sent before the wait began must wake it too.
        const DWORD result =
            MsgWaitForMultipleObjectsEx(1, &object, remaining, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false; // timed out or failed
    }
}
