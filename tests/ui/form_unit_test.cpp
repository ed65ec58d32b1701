#include "tests/ui/form_fixture.h"
#include "ui/threads.h"
#include "ui/window_registry.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// Every message sent to a window of this thread while installed, in order.
class SentMessageLog {
  public:
    SentMessageLog() { hook_ = SetWindowsHookExA(WH_CALLWNDPROC, &record, nullptr, GetCurrentThreadId()); }
    ~SentMessageLog()
    {
        UnhookWindowsHookEx(hook_);
        active = nullptr;
    }
    void start() { active = this; }
    std::vector<SentMessage> to(HWND window, UINT message = 0) const
    {
        std::vector<SentMessage> found;
        for (const SentMessage& sent : messages_) {
            if (sent.window == window && (message == 0 || sent.message == message))
                found.push_back(sent);
        }
        return found;
    }

  private:
    static LRESULT CALLBACK record(int code, WPARAM wparam, LPARAM lparam)
    {
        if (code == HC_ACTION && active != nullptr) {
            const auto& sent = *reinterpret_cast<const CWPSTRUCT*>(lparam);
            active->messages_.push_back({sent.hwnd, sent.message, sent.wParam, sent.lParam});
        }
        return CallNextHookEx(nullptr, code, wparam, lparam);
    }

    static inline SentMessageLog* active = nullptr;
    HHOOK hook_ = nullptr;
    std::vector<SentMessage> messages_;
};

using FormTest = FormFixture;

TEST_F(FormTest, CreatedRunsBeforeTheFormIsShownAndASizeEventFollows)
{
    SentMessageLog log;
    HWND created_window = nullptr;
    RECT client{};
    const INT_PTR result = run([&](HWND window) {
        created_window = window;
        EXPECT_EQ(form.window(), window);
        EXPECT_FALSE(IsWindowVisible(window));
        GetClientRect(window, &client);
        log.start();
        when_shown([this] { close_later(); });
    });
    EXPECT_EQ(result, 0);
    ASSERT_NE(created_window, nullptr);
    const std::vector<SentMessage> sent = log.to(created_window);
    const auto first = [&](UINT message) {
        return std::find_if(sent.begin(), sent.end(), [&](const SentMessage& m) {
            return m.message == message && (message != WM_SHOWWINDOW || m.wparam != 0);
        });
    };
    const auto size = first(WM_SIZE);
    ASSERT_NE(size, sent.end());
    EXPECT_GT(client.right, 0);
    EXPECT_EQ(LOWORD(size->lparam), client.right);
    EXPECT_EQ(HIWORD(size->lparam), client.bottom);
    // Shown only after the size event.
    EXPECT_GT(first(WM_SHOWWINDOW), size);
}

TEST_F(FormTest, TemplateTitleAndFontsAreApplied)
{
    run([&](HWND window) {
        wchar_t title[32]{};
        GetWindowTextW(window, title, 32);
        EXPECT_STREQ(title, L"程序更新");

        const auto default_font = reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT));
        EXPECT_EQ(SendMessageA(button.window(), WM_GETFONT, 0, 0), default_font);
        EXPECT_EQ(SendMessageA(label.window(), WM_GETFONT, 0, 0), default_font);
        // The bar keeps the font it had; the dialog gave it the template's.
        EXPECT_NE(SendMessageA(bar.window(), WM_GETFONT, 0, 0), default_font);
        close_later();
    });
}

TEST_F(FormTest, CloseEndsTheModalLoopWithZeroAndDetachesEveryUnit)
{
    HWND window_seen = nullptr;
    HWND button_seen = nullptr;
    const INT_PTR result = run([&](HWND window) {
        window_seen = window;
        button_seen = button.window();
        close_later();
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(destroys, 1);
    EXPECT_FALSE(IsWindow(window_seen));
    for (const Unit* unit : std::initializer_list<const Unit*>{&form, &button, &label, &bar})
        EXPECT_EQ(unit->window(), nullptr);
    EXPECT_EQ(window_registry().find(window_seen), nullptr);
    EXPECT_EQ(window_registry().find(button_seen), nullptr);
}

TEST_F(FormTest, CloseQueryCanKeepTheFormOpen)
{
    static int queries = 0;
    queries = 0;
    const INT_PTR result = run([&](HWND window) {
        form.set_close_query_handler([] { return ++queries == 1 ? 1 : 0; });
        PostMessageA(window, WM_CLOSE, 0, 0);
        later([&, window] {
            EXPECT_TRUE(IsWindow(window));
            EXPECT_EQ(destroys, 0);
            PostMessageA(window, WM_CLOSE, 0, 0);
        });
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(queries, 2);
    EXPECT_EQ(destroys, 1);
}

TEST_F(FormTest, EscapeDoesNotCloseTheForm)
{
    SentMessageLog log;
    HWND form_window = nullptr;
    run([&](HWND window) {
        form_window = window;
        log.start();
        PostMessageA(button.window(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageA(button.window(), WM_KEYUP, VK_ESCAPE, 0xC0010001);
        later([&, window] {
            EXPECT_TRUE(IsWindow(window));
            EXPECT_EQ(destroys, 0);
            close_later();
        });
    });
    // The dialog manager did turn Esc into a cancel command; nothing answered it.
    bool cancel_seen = false;
    for (const SentMessage& command : log.to(form_window, WM_COMMAND))
        cancel_seen |= LOWORD(command.wparam) == IDCANCEL;
    EXPECT_TRUE(cancel_seen);
    EXPECT_EQ(destroys, 1);
}

TEST_F(FormTest, MouseAndSpaceBarClicksReachTheHandlerOnceEach)
{
    run([&](HWND) {
        HWND target = button.window();
        RECT area{};
        GetClientRect(target, &area);
        const LPARAM middle = MAKELPARAM(area.right / 2, area.bottom / 2);
        PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, middle);
        PostMessageA(target, WM_LBUTTONUP, 0, middle);
        later([&, target] {
            EXPECT_EQ(clicks, 1);
            PostMessageA(target, WM_KEYDOWN, VK_SPACE, 0x00390001);
            PostMessageA(target, WM_KEYUP, VK_SPACE, 0xC0390001);
            later([&] {
                EXPECT_EQ(clicks, 2);
                close_later();
            });
        });
    });
    EXPECT_EQ(clicks, 2);
}

TEST_F(FormTest, BindingIsOncePerUnitAndPerControl)
{
    run([&](HWND window) {
        HWND first = button.window();
        EXPECT_FALSE(button.bind(window, label_id));
        EXPECT_EQ(button.window(), first);
        EXPECT_EQ(window_registry().find(first), &button);
        EXPECT_EQ(window_registry().find(GetDlgItem(window, label_id)), &label);

        // A second unit cannot take a control that already has one.
        ButtonUnit intruder;
        EXPECT_FALSE(intruder.bind(window, button_id));
        EXPECT_EQ(intruder.window(), nullptr);
        EXPECT_EQ(window_registry().find(first), &button);

        ButtonUnit stray;
        EXPECT_FALSE(stray.bind(window, 4242));
        EXPECT_EQ(stray.window(), nullptr);
        stray.set_caption("no window"); // has no effect and must not fail
        EXPECT_EQ(stray.caption(), "");

        // The first binding still routes clicks.
        PostMessageA(first, WM_KEYDOWN, VK_SPACE, 0x00390001);
        PostMessageA(first, WM_KEYUP, VK_SPACE, 0xC0390001);
        close_later();
    });
    EXPECT_EQ(clicks, 1);
}

TEST_F(FormTest, FormBackgroundIsItsColourWhileTheLabelKeepsButtonFace)
{
    const COLORREF pale_blue = RGB(228, 243, 249);
    COLORREF form_pixel = CLR_INVALID;
    COLORREF label_pixel = CLR_INVALID;
    run([&](HWND window) {
        EXPECT_EQ(form.set_background_colour(pale_blue), pale_blue);
        when_shown([&, window] {
            RedrawWindow(window, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            RECT label_area{};
            GetWindowRect(label.window(), &label_area);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&label_area), 2);
            HDC dc = GetDC(window);
            form_pixel = GetPixel(dc, 2, 2);
            label_pixel = GetPixel(dc, label_area.right - 2, label_area.bottom - 2);
            ReleaseDC(window, dc);
            close_later();
        });
    });
    EXPECT_EQ(form_pixel, pale_blue);
    EXPECT_EQ(label_pixel, GetSysColor(COLOR_BTNFACE));
}

TEST_F(FormTest, OnlyTheSmallIconIsSet)
{
    run([&](HWND) {
        HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512)); // IDI_APPLICATION
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(form.set_icon(icon), nullptr);
        EXPECT_EQ(form.icon(), icon);
        EXPECT_EQ(form.icon(true), nullptr);
        EXPECT_EQ(form.set_icon(nullptr), icon);
        close_later();
    });
}

struct WorkerReport {
    const LabelUnit* label;
    const ProgressBarUnit* bar;
    std::mutex lock;
    std::string last_label_text;
    int last_position = -1;
    std::vector<std::string> failures;
};
WorkerReport* report = nullptr;

// Notes what the user-interface thread has applied, as it applies it.
LRESULT CALLBACK note_applied(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HC_ACTION && report != nullptr) {
        const auto& sent = *reinterpret_cast<const CWPRETSTRUCT*>(lparam);
        // Read before locking: reading sends messages, which come through this hook again.
        if (sent.message == WM_SETTEXT && sent.hwnd == report->label->window()) {
            char text[64]{};
            GetWindowTextA(sent.hwnd, text, sizeof text);
            std::lock_guard guard(report->lock);
            report->last_label_text = text;
        } else if (sent.message == PBM_SETPOS && sent.hwnd == report->bar->window()) {
            const auto position = static_cast<int>(SendMessageA(sent.hwnd, PBM_GETPOS, 0, 0));
            std::lock_guard guard(report->lock);
            report->last_position = position;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

DWORD WINAPI set_from_worker(void*)
{
    struct Step {
        const char* caption;
        int position;
        int shown_position;
    };
    // 150 is passed on unchanged; the control clamps it.
    const Step steps[] = {{"first block", 10, 10}, {"second block", 55, 55}, {"complete", 150, 100}};
    int previous = 0;
    for (const Step& step : steps) {
        report->label->set_caption(step.caption);
        const int returned = report->bar->set_position(step.position);
        std::lock_guard guard(report->lock);
        if (report->last_label_text != step.caption)
            report->failures.push_back(std::string("caption not applied: ") + step.caption);
        if (report->last_position != step.shown_position)
            report->failures.push_back("position not applied: " + std::to_string(step.position));
        if (returned != previous)
            report->failures.push_back("previous position " + std::to_string(returned));
        previous = step.shown_position;
    }
    return 0;
}

TEST_F(FormTest, CaptionAndPositionFromAnotherThreadAreAppliedBeforeTheCallReturns)
{
    WorkerReport worker_report{&label, &bar};
    report = &worker_report;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, &note_applied, nullptr, GetCurrentThreadId());
    bool finished = false;
    run([&](HWND) {
        HANDLE worker = nullptr;
        ASSERT_TRUE(start_thread(&set_from_worker, nullptr, &worker));
        // Posted messages wait meanwhile, so only a sent update can be seen applied by the worker.
        finished = wait_pumping_sent_messages(worker, 30000);
        CloseHandle(worker);
        close_later();
    });
    UnhookWindowsHookEx(hook);
    report = nullptr;
    EXPECT_TRUE(finished);
    EXPECT_TRUE(worker_report.failures.empty()) << worker_report.failures.front();
    EXPECT_EQ(worker_report.last_label_text, "complete");
}

// What a run_on_window_thread action saw, for the test below.
struct ActionRecord {
    FormUnit* form = nullptr;
    DWORD window_thread = 0;
    std::atomic<int> runs{0};
    std::atomic<DWORD> ran_on{0};
    std::vector<std::string> failures; // worker thread only
};
ActionRecord* action_record = nullptr;

void record_action()
{
    action_record->ran_on = GetCurrentThreadId();
    ++action_record->runs;
}

DWORD WINAPI run_actions_from_worker(void*)
{
    // The test ran the action once on the window's thread before starting this one.
    for (int i = 1; i <= 3; ++i) {
        const bool ran = action_record->form->run_on_window_thread(&record_action);
        if (!ran || action_record->runs != 1 + i)
            action_record->failures.push_back("action " + std::to_string(i) + " not run before the call returned");
        if (action_record->ran_on != action_record->window_thread)
            action_record->failures.push_back("action " + std::to_string(i) + " ran on another thread");
    }
    return 0;
}

TEST_F(FormTest, ActionsFromAnotherThreadRunOnTheWindowsThreadBeforeTheCallReturns)
{
    ActionRecord record;
    record.form = &form;
    action_record = &record;
    bool finished = false;
    bool ran_here = false;
    run([&](HWND window) {
        record.window_thread = GetWindowThreadProcessId(window, nullptr);
        // On the window's own thread: a plain call.
        ran_here = form.run_on_window_thread(&record_action) && record.runs == 1;
        HANDLE worker = nullptr;
        ASSERT_TRUE(start_thread(&run_actions_from_worker, nullptr, &worker));
        finished = wait_pumping_sent_messages(worker, 30000);
        CloseHandle(worker);
        // A foreign sender of the form's message finds no action to run.
        const UINT message = RegisterWindowMessageA("updater.FormUnit.run_on_window_thread");
        EXPECT_EQ(SendMessageA(window, message, reinterpret_cast<WPARAM>(&record_action), 0), 0);
        close_later();
    });
    EXPECT_FALSE(form.run_on_window_thread(&record_action)) << "the form has no window any more";
    action_record = nullptr;
    EXPECT_TRUE(ran_here);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(record.failures.empty()) << record.failures.front();
    EXPECT_EQ(record.runs, 4);
}

TEST_F(FormTest, ModelessFormIsServedByTheCallersLoop)
{
    HINSTANCE module = GetModuleHandleA(nullptr);
    static HWND created_window = nullptr;
    created_window = nullptr;
    ASSERT_TRUE(form.load_modeless(module, test_form_template, [](HWND window) { created_window = window; }));
    HWND window = form.window();
    EXPECT_EQ(created_window, window);
    form.set_destroy_handler([] { ++current->destroys; });
    // A form with a window cannot be loaded again.
    EXPECT_EQ(form.load_modal(module, test_form_template), 0);
    EXPECT_EQ(form.window(), window);

    PostMessageA(window, WM_CLOSE, 0, 0);
    for (int round = 0; round < 1000 && IsWindow(window); ++round)
        process_pending_messages();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(destroys, 1);
    EXPECT_EQ(form.window(), nullptr);
}

TEST_F(FormTest, MissingTemplateFailsAndLeavesTheFormLoadable)
{
    HINSTANCE module = GetModuleHandleA(nullptr);
    EXPECT_EQ(form.load_modal(module, 4321), -1);
    EXPECT_EQ(form.window(), nullptr);
    EXPECT_EQ(run([&](HWND) { close_later(); }), 0);
    EXPECT_EQ(destroys, 1);
}

TEST_F(FormTest, DestroyingAUnitWhileItsWindowLivesGivesTheWindowBack)
{
    run([&](HWND window) {
        HWND control = label.window();
        const LONG_PTR routed = GetWindowLongPtrA(control, GWLP_WNDPROC);
        EXPECT_EQ(routed, reinterpret_cast<LONG_PTR>(&unit_router));
        label.destroy();
        EXPECT_EQ(label.window(), nullptr);
        EXPECT_NE(GetWindowLongPtrA(control, GWLP_WNDPROC), routed);
        EXPECT_EQ(window_registry().find(control), nullptr);
        // The label still works without its unit, and can be bound again.
        label.set_caption("unbound");
        EXPECT_TRUE(label.bind(window, label_id));
        label.set_caption("bound again");
        EXPECT_EQ(label.caption(), "bound again");
        close_later();
    });
}

TEST(ProgressBarUnitTest, ConstructionRegistersTheProgressBarClass)
{
    ProgressBarUnit bar;
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(GetClassInfoExA(nullptr, PROGRESS_CLASSA, &info));
}

} // namespace
