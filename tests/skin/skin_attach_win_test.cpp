// The skin library, mapped from memory as the program maps it, restyling a real window and putting it
// back exactly; pictures of both states are kept beside the test binary.
#include "resources/skin/skin_resources.h"
#include "skin/call_address.h"
#include "skin/skin_format.h"
#include "skin/skin_library.h"
#include "tests/skin/test_window_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using test_window::capture;
using test_window::Form;
using test_window::procedure_of;

std::span<const unsigned char> blob()
{
    return {SkinBlob, SkinBlob_size};
}

skin_format::Skin parsed_skin()
{
    skin_format::Skin skin{};
    skin_format::parse(SkinBlob, static_cast<long>(SkinBlob_size), skin);
    return skin;
}

std::string artifact(const char* name)
{
    return std::string(SKIN_ARTIFACT_DIR) + "/" + name;
}

class SkinAttach : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { load_skin_library(); }
    void SetUp() override { ASSERT_NE(skin_library.find_export("SkinAttach"), 0u); }
    void TearDown() override { detach_skin(); }
    Form form;
};

TEST_F(SkinAttach, RestylesTheControlsAndDetachPutsEveryPixelBack)
{
    const skin_format::Skin skin = parsed_skin();
    const LONG_PTR form_procedure = procedure_of(form.window);
    const LONG_PTR button_procedure = procedure_of(form.button);
    const test_window::Picture before = capture(form.window);

    attach_skin(blob());
    form.settle();
    const test_window::Picture skinned = capture(form.window);
    skinned.save_bmp(artifact("skin_attached.bmp"));
    EXPECT_EQ(skinned.at(form.window, form.button, 4, 4), skin.colours[skin_format::button_face]);
    EXPECT_EQ(skinned.at(form.window, form.button, 0, 0), skin.colours[skin_format::button_border]);
    EXPECT_EQ(skinned.at(form.window, form.bar, 60, 10), skin.colours[skin_format::progress_bar]);
    EXPECT_EQ(skinned.at(form.window, form.bar, 250, 10), skin.colours[skin_format::progress_background]);
    EXPECT_EQ(skinned.at(form.window, form.label, 295, 10), skin.colours[skin_format::static_background]);
    EXPECT_EQ(skinned.at(form.window, form.window, 5, 130), test_window::form_colour)
        << "form stays the program's";

    detach_skin();
    form.settle();
    const test_window::Picture after = capture(form.window);
    after.save_bmp(artifact("skin_detached.bmp"));
    EXPECT_TRUE(after == before);
    EXPECT_EQ(procedure_of(form.window), form_procedure);
    EXPECT_EQ(procedure_of(form.button), button_procedure);
}

TEST_F(SkinAttach, ControlsCreatedLaterAreSkinnedUntilDetach)
{
    attach_skin(blob());
    HWND later = form.add(PROGRESS_CLASSA, "", 0, 10, 65, 100, 10);
    SendMessageA(later, PBM_SETPOS, 100, 0);
    form.settle();
    EXPECT_EQ(capture(form.window).at(form.window, later, 50, 5),
              parsed_skin().colours[skin_format::progress_bar]);
    detach_skin();
    HWND after = form.add("Button", "Later", BS_PUSHBUTTON, 10, 65, 50, 20);
    EXPECT_EQ(procedure_of(after), static_cast<LONG_PTR>(GetClassLongPtrA(after, GCLP_WNDPROC)));
}

LONG_PTR program_previous;
LRESULT CALLBACK program_subclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return CallWindowProcA(reinterpret_cast<WNDPROC>(program_previous), window, message, wparam, lparam);
}

TEST_F(SkinAttach, DetachKeepsTheProgramsOwnSubclassingInEitherOrder)
{
    // The program subclassed first: detach hands back exactly the program's procedure.
    program_previous =
        SetWindowLongPtrA(form.label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&program_subclass));
    attach_skin(blob());
    detach_skin();
    EXPECT_EQ(procedure_of(form.label), reinterpret_cast<LONG_PTR>(&program_subclass));
    SetWindowLongPtrA(form.label, GWLP_WNDPROC, program_previous);

    // The program subclasses after the skin: its procedure stays on top and messages still flow.
    attach_skin(blob());
    program_previous =
        SetWindowLongPtrA(form.button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&program_subclass));
    detach_skin();
    EXPECT_EQ(procedure_of(form.button), reinterpret_cast<LONG_PTR>(&program_subclass));
    char text[32] = {};
    GetWindowTextA(form.button, text, sizeof text);
    EXPECT_STREQ(text, "Cancel");
    // And the button paints as the system draws it again.
    const test_window::Picture unskinned = capture(form.window);
    form.settle();
    EXPECT_NE(capture(form.window).at(form.window, form.button, 4, 4),
              parsed_skin().colours[skin_format::button_face]);
    (void)unskinned;
}

TEST_F(SkinAttach, BadSkinDataChangesNothing)
{
    const Address attach = skin_library.find_export("SkinAttach");
    const LONG_PTR button_procedure = procedure_of(form.button);
    std::vector<unsigned char> bad(SkinBlob, SkinBlob + SkinBlob_size);
    bad[4] = 9; // unknown version
    const std::vector<std::vector<unsigned char>> cases = {
        bad, {'U', 'S', 'K'}, {'X', 'S', 'K', 'N', 1, 0, 7, 0}};
    for (const auto& data : cases) {
        EXPECT_EQ(static_cast<std::uint32_t>(
                      call_address(attach, reinterpret_cast<std::uintptr_t>(data.data()), data.size())),
                  0u);
        EXPECT_EQ(procedure_of(form.button), button_procedure);
    }
    EXPECT_EQ(static_cast<std::uint32_t>(call_address(attach, 0, 100)), 0u);
}

TEST_F(SkinAttach, AttachAndDetachInAnyOrderAnyNumberOfTimes)
{
    const LONG_PTR bar_procedure = procedure_of(form.bar);
    const test_window::Picture before = capture(form.window);
    detach_skin();
    detach_skin();
    attach_skin(blob());
    attach_skin(blob());
    detach_skin();
    detach_skin();
    form.settle();
    EXPECT_EQ(procedure_of(form.bar), bar_procedure);
    EXPECT_TRUE(capture(form.window) == before);
}

TEST_F(SkinAttach, DetachFromAnotherThreadRestoresOnTheWindowsThread)
{
    const LONG_PTR form_procedure = procedure_of(form.window);
    const LONG_PTR bar_procedure = procedure_of(form.bar);
    attach_skin(blob());
    ASSERT_NE(procedure_of(form.bar), bar_procedure);
    std::atomic<bool> done{false};
    std::thread worker([&done] {
        detach_skin();
        done = true;
    });
    // The restore work is sent to this thread, so keep its messages moving meanwhile.
    while (!done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    worker.join();
    EXPECT_EQ(procedure_of(form.window), form_procedure);
    EXPECT_EQ(procedure_of(form.bar), bar_procedure);
}

} // namespace
