#include "tests/ui/form_fixture.h"

#include "ui/window_registry.h"

namespace {

constexpr UINT run_step = WM_APP + 1;
constexpr UINT_PTR watchdog_timer = 0x7E57;
constexpr UINT_PTR shown_timer = 0x5405;
// Far beyond any step here; only a test that forgot to close its form meets it.
constexpr UINT watchdog_ms = 20000;

} // namespace

FormFixture* FormFixture::current = nullptr;

void FormFixture::SetUp()
{
    current = this;
    WNDCLASSA sequencer_class{};
    sequencer_class.lpfnWndProc = sequencer_procedure;
    sequencer_class.hInstance = GetModuleHandleA(nullptr);
    sequencer_class.lpszClassName = "ui_test_sequencer";
    RegisterClassA(&sequencer_class); // fails harmlessly once registered
    sequencer_ = CreateWindowExA(0, "ui_test_sequencer", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(sequencer_, nullptr);
}

void FormFixture::TearDown()
{
    DestroyWindow(sequencer_);
    // Nothing of this test may stay registered for the next one.
    EXPECT_EQ(form.window(), nullptr);
    current = nullptr;
}

INT_PTR FormFixture::run(std::function<void(HWND)> script)
{
    script_ = std::move(script);
    return form.load_modal(GetModuleHandleA(nullptr), test_form_template, &FormFixture::created);
}

void FormFixture::created(HWND window)
{
    FormFixture& test = *current;
    test.bar.bind(window, progress_bar_id);
    test.button.bind(window, button_id);
    test.label.bind(window, label_id);
    test.form.set_destroy_handler([] { ++current->destroys; });
    test.button.set_click_handler([] { ++current->clicks; });
    SetTimer(window, watchdog_timer, watchdog_ms, &FormFixture::watchdog);
    if (test.script_)
        test.script_(window);
}

void FormFixture::later(std::function<void()> step)
{
    steps_.push_back(std::move(step));
    PostMessageA(sequencer_, run_step, steps_.size() - 1, 0);
}

void FormFixture::when_shown(std::function<void()> step)
{
    // The dialog manager shows a modal form once its queue first runs empty; timer messages come
    // only when it is empty, so polling on a timer sees the form shown.
    shown_step_ = std::move(step);
    SetTimer(form.window(), shown_timer, 10, &FormFixture::poll_shown);
}

void CALLBACK FormFixture::poll_shown(HWND window, UINT, UINT_PTR, DWORD)
{
    if (current == nullptr || !IsWindowVisible(window))
        return;
    KillTimer(window, shown_timer);
    auto step = std::move(current->shown_step_);
    if (step)
        step();
}

void FormFixture::close_later()
{
    later([this] { PostMessageA(form.window(), WM_CLOSE, 0, 0); });
}

LRESULT CALLBACK FormFixture::sequencer_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == run_step && current != nullptr && wparam < current->steps_.size()) {
        // A step may queue more steps, so it runs from a copy.
        auto step = current->steps_[wparam];
        step();
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

void CALLBACK FormFixture::watchdog(HWND window, UINT, UINT_PTR, DWORD)
{
    KillTimer(window, watchdog_timer);
    ADD_FAILURE() << "the test left its form open";
    EndDialog(window, -2);
}
