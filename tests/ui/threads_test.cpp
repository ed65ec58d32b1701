#include "ui/threads.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT note = WM_APP + 10;
constexpr UINT note_and_post_more = WM_APP + 11;

// A message-only window that notes the wParam of every note it is given.
class NoteWindow {
  public:
    NoteWindow()
    {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = procedure;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "ui_test_notes";
        RegisterClassA(&window_class);
        window_ = CreateWindowExA(0, "ui_test_notes", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        active = this;
    }
    ~NoteWindow()
    {
        DestroyWindow(window_);
        active = nullptr;
    }
    HWND handle() const { return window_; }
    std::vector<WPARAM> notes;

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
    {
        if (active != nullptr && (message == note || message == note_and_post_more)) {
            active->notes.push_back(wparam);
            if (message == note_and_post_more)
                PostMessageA(window, note, wparam + 100, 0);
            return 0;
        }
        return DefWindowProcA(window, message, wparam, lparam);
    }
    static inline NoteWindow* active = nullptr;
    HWND window_ = nullptr;
};

void drain_queue()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TEST(ProcessPendingMessagesTest, StopsAtAQuitAndLeavesItAtTheHead)
{
    drain_queue();
    NoteWindow window;
    PostMessageA(window.handle(), note, 1, 0);
    PostMessageA(window.handle(), note, 2, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 7, 0);
    PostMessageA(window.handle(), note, 3, 0);

    process_pending_messages();

    EXPECT_EQ(window.notes, (std::vector<WPARAM>{1, 2}));
    MSG head{};
    ASSERT_TRUE(PeekMessageA(&head, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(head.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(head.wParam, 7u);
    // With the quit taken away, the rest is dispatched.
    process_pending_messages();
    EXPECT_EQ(window.notes, (std::vector<WPARAM>{1, 2, 3}));
    drain_queue();
}

TEST(ProcessPendingMessagesTest, DispatchesWhatArrivesMeanwhileAndReturnsOnAnEmptyQueue)
{
    drain_queue();
    NoteWindow window;
    process_pending_messages(); // nothing waits: returns at once
    EXPECT_TRUE(window.notes.empty());

    PostMessageA(window.handle(), note_and_post_more, 1, 0);
    PostMessageA(window.handle(), note, 2, 0);
    process_pending_messages();
    EXPECT_EQ(window.notes, (std::vector<WPARAM>{1, 2, 101}));
    MSG left;
    EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
}

DWORD WINAPI set_event_routine(void* event)
{
    SetEvent(static_cast<HANDLE>(event));
    return 5;
}

DWORD WINAPI wait_forever_routine(void* event)
{
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

TEST(StartThreadTest, RunsTheRoutineWithItsParameterAndHandsOverTheHandleWhenAsked)
{
    HANDLE ran = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(start_thread(&set_event_routine, ran));
    EXPECT_EQ(WaitForSingleObject(ran, 30000), WAIT_OBJECT_0);

    ResetEvent(ran);
    HANDLE thread = nullptr;
    ASSERT_TRUE(start_thread(&set_event_routine, ran, &thread));
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    DWORD exit_code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &exit_code));
    EXPECT_EQ(exit_code, 5u);
    CloseHandle(thread);
    CloseHandle(ran);
}

TEST(TerminateThreadTest, StopsABlockedThreadAndFailsOnNoThread)
{
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    ASSERT_TRUE(start_thread(&wait_forever_routine, never, &thread));
    EXPECT_TRUE(terminate_thread(thread));
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    DWORD exit_code = 0;
    GetExitCodeThread(thread, &exit_code);
    EXPECT_EQ(exit_code, 0xFFFFFFFFu);
    EXPECT_FALSE(terminate_thread(nullptr));
    CloseHandle(thread);
    CloseHandle(never);
}

struct SendingWorker {
    HWND target;
    LRESULT answer = 0;
};

DWORD WINAPI send_note_routine(void* parameter)
{
    auto& worker = *static_cast<SendingWorker*>(parameter);
    worker.answer = SendMessageA(worker.target, note, 42, 0);
    return 0;
}

TEST(WaitPumpingSentMessagesTest, AnswersSentMessagesAndLeavesPostedOnesQueued)
{
    drain_queue();
    NoteWindow window;
    PostMessageA(window.handle(), note, 1, 0);
    SendingWorker worker{window.handle()};
    HANDLE thread = nullptr;
    ASSERT_TRUE(start_thread(&send_note_routine, &worker, &thread));
    // The worker can only finish once its sent message has been answered here.
    EXPECT_TRUE(wait_pumping_sent_messages(thread, 30000));
    EXPECT_EQ(window.notes, (std::vector<WPARAM>{42}));
    MSG posted{};
    EXPECT_TRUE(PeekMessageA(&posted, window.handle(), note, note, PM_NOREMOVE));
    EXPECT_EQ(posted.wParam, 1u);
    CloseHandle(thread);
    drain_queue();
}

TEST(WaitPumpingSentMessagesTest, GivesFalseWhenTheTimeRunsOut)
{
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(wait_pumping_sent_messages(never, 20));
    CloseHandle(never);
}

} // namespace
