#include "ui/form_unit.h"

#include "ui/window_registry.h"

namespace {

// The form whose template the dialog manager is building, between the load call and WM_INITDIALOG.
// User-interface thread only.
FormUnit* pending_form = nullptr;

// Asks a form to run its pending run_on_window_thread action. A registered message, so that no other
// program's message in the WM_APP range can pass for it.
UINT run_action_message()
{
    // Registering the same name again gives the same number, so two threads racing here agree. (A
    // static initialised by the call would bring in the thread-safe guard, and the threads runtime.)
    static std::atomic<UINT> registered{0};
    UINT message = registered.load(std::memory_order_relaxed);
    if (message == 0) {
        message = RegisterWindowMessageA("updater.FormUnit.run_on_window_thread");
        registered.store(message, std::memory_order_relaxed);
    }
    return message;
}

} // namespace

INT_PTR FormUnit::load_modal(HINSTANCE module, int template_id, CreatedHandler on_created, HWND parent)
{
    return load_dialog(module, template_id, on_created, parent, true);
}

bool FormUnit::load_modeless(HINSTANCE module, int template_id, CreatedHandler on_created, HWND parent)
{
    return load_dialog(module, template_id, on_created, parent, false) != 0;
}

INT_PTR FormUnit::load_dialog(HINSTANCE module, int template_id, CreatedHandler on_created, HWND parent,
                              bool modal)
{
    pending_form = nullptr;
    if (window() != nullptr)
        return 0;
    pending_form = this;
    if (on_created != nullptr)
        on_created_ = on_created;
    modal_ = modal;
    set_background_colour(GetSysColor(COLOR_BTNFACE), false);

    INT_PTR result = 0;
    if (modal) {
        result = DialogBoxParamA(module, MAKEINTRESOURCEA(template_id), parent, form_dialog_procedure, 0);
    } else {
        result = CreateDialogParamA(module, MAKEINTRESOURCEA(template_id), parent, form_dialog_procedure, 0)
                     ? TRUE
                     : FALSE;
    }
    // A template that failed to load never reached WM_INITDIALOG; the next dialog must not take
    // this form for its own.
    if (pending_form == this)
        pending_form = nullptr;
    return result;
}

INT_PTR CALLBACK form_dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    // The dialog manager sends a few messages (WM_SETFONT among them) before WM_INITDIALOG; they
    // find no unit and get default processing.
    if (message == WM_INITDIALOG && pending_form != nullptr) {
        FormUnit* form = pending_form;
        pending_form = nullptr;
        form->attach(window);
    }
    Unit* unit = window_registry().find(window);
    if (unit == nullptr)
        return 0;
    return unit->handle_dialog_message(window, message, wparam, lparam);
}

bool FormUnit::run_on_window_thread(EventHandler action) const
{
    HWND window = this->window();
    if (window == nullptr || action == nullptr)
        return false;
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        action();
        return true;
    }
    window_thread_action_.store(action);
    return SendMessageA(window, run_action_message(), 0, 0) != 0;
}

INT_PTR FormUnit::handle_dialog_message(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == run_action_message() && message != 0) {
        const EventHandler action = window_thread_action_.exchange(nullptr);
        if (action != nullptr)
            action();
        SetWindowLongPtrA(window, DWLP_MSGRESULT, action != nullptr ? 1 : 0);
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        if (on_created_ != nullptr) {
            on_created_(window);
            // Layout code expects a size event once the form is set up, as a created window gets.
            RECT client{};
            GetClientRect(window, &client);
            SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
        }
        return FALSE; // the focus stays where the dialog manager put it
    case WM_CLOSE:
        if (on_close_query_ != nullptr && on_close_query_() != 0)
            return TRUE;
        if (modal_)
            EndDialog(window, 0);
        else
            DestroyWindow(window);
        return TRUE;
    default:
        return handle_form_event(message);
    }
}

INT_PTR FormUnit::handle_form_event(UINT message)
{
    if (message == WM_DESTROY && on_destroy_ != nullptr)
        on_destroy_();
    return 0;
}

HICON FormUnit::icon(bool large) const
{
    return reinterpret_cast<HICON>(SendMessageA(window(), WM_GETICON, large ? ICON_BIG : ICON_SMALL, 0));
}

HICON FormUnit::set_icon(HICON icon, bool large) const
{
    return reinterpret_cast<HICON>(
        SendMessageA(window(), WM_SETICON, large ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

COLORREF FormUnit::set_background_colour(COLORREF colour, bool redraw)
{
    background_colour_ = colour;
    background_brush_ = make_solid_brush(colour);
    // Without a window, InvalidateRect(NULL) would repaint every window on the desktop.
    if (redraw && window() != nullptr)
        InvalidateRect(window(), nullptr, TRUE);
    return background_colour_;
}

bool FormUnit::erase_background(HWND window, HDC dc)
{
    if (!background_brush_)
        return false;
    RECT client{};
    GetClientRect(window, &client);
    paint_background(dc, client);
    return true;
}

void FormUnit::paint_background(HDC dc, const RECT& area) const
{
    if (background_brush_)
        FillRect(dc, &area, background_brush_.get());
}

void FormUnit::class_teardown()
{
    background_brush_.reset();
    background_colour_ = 0;
    on_destroy_ = nullptr;
    modal_ = false;
    on_created_ = nullptr;
    on_close_query_ = nullptr;
}
