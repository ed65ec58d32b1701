// The window runtime in the i686 build: one real dialog, loaded, driven from a worker and closed.

#include "ui/button_unit.h"
#include "ui/form_unit.h"
#include "ui/label_unit.h"
#include "ui/progress_bar_unit.h"
#include "ui/threads.h"
#include "ui/window_registry.h"

#include <gtest/gtest.h>

namespace {

struct SmokeForm {
    FormUnit form;
    ButtonUnit button;
    LabelUnit label;
    ProgressBarUnit bar;
    int destroys = 0;
    int clicks = 0;
    bool worker_done = false;
    std::string label_text;
    int position = -1;
};
SmokeForm* smoke = nullptr;

DWORD WINAPI smoke_worker(void*)
{
    smoke->label.set_caption("block 1");
    smoke->bar.set_position(40);
    return 0;
}

void smoke_created(HWND window)
{
    EXPECT_TRUE(smoke->bar.bind(window, 1002));
    EXPECT_TRUE(smoke->button.bind(window, 1003));
    EXPECT_TRUE(smoke->label.bind(window, 1004));
    smoke->form.set_background_colour(RGB(228, 243, 249));
    smoke->form.set_destroy_handler([] { ++smoke->destroys; });
    smoke->button.set_click_handler([] { ++smoke->clicks; });

    HANDLE worker = nullptr;
    if (start_thread(&smoke_worker, nullptr, &worker)) {
        smoke->worker_done = wait_pumping_sent_messages(worker, 600000);
        CloseHandle(worker);
    }
    smoke->label_text = smoke->label.caption();
    smoke->position = smoke->bar.position();
    // Through the dialog manager's own loop: a space-bar click, then the close box.
    PostMessageA(smoke->button.window(), WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageA(smoke->button.window(), WM_KEYUP, VK_SPACE, 0xC0390001);
    PostMessageA(window, WM_CLOSE, 0, 0);
}

TEST(UiSmoke, LoadsDrivesAndClosesTheDialog)
{
    SmokeForm form;
    smoke = &form;
    const INT_PTR result = form.form.load_modal(GetModuleHandleA(nullptr), 1000, &smoke_created);
    smoke = nullptr;

    EXPECT_EQ(result, 0);
    EXPECT_TRUE(form.worker_done);
    EXPECT_EQ(form.label_text, "block 1");
    EXPECT_EQ(form.position, 40);
    EXPECT_EQ(form.clicks, 1);
    EXPECT_EQ(form.destroys, 1);
    EXPECT_EQ(form.form.window(), nullptr);
    EXPECT_EQ(form.label.window(), nullptr);
}

} // namespace
