#pragma once
// A top-level window built by the dialog manager from a dialog template.

#include <atomic>

#include "ui/event_handler.h"
#include "ui/gdi_brush.h"
#include "ui/unit.h"

class FormUnit final : public Unit {
  public:
    ~FormUnit() override { destroy(); }

    // Runs the form from template `template_id` of `module` as a modal dialog and returns the
    // dialog's result once it has ended: 0 when closed, 0 at once when the form already has a
    // window, -1 when the dialog manager cannot build it. `on_created` runs before the form is
    // first shown.
    INT_PTR load_modal(HINSTANCE module, int template_id, CreatedHandler on_created = nullptr,
                       HWND parent = nullptr);
    // The same, modeless: true when the window was created; the caller's loop serves it.
    bool load_modeless(HINSTANCE module, int template_id, CreatedHandler on_created = nullptr,
                       HWND parent = nullptr);

    HICON icon(bool large = false) const;
    // Sets the title bar's small icon, or the large one; gives the previous icon of that size.
    HICON set_icon(HICON icon, bool large = false) const;

    COLORREF background_colour() const { return background_colour_; }
    // The client area is painted in `colour` from now on; repainted at once unless `redraw` is false.
    COLORREF set_background_colour(COLORREF colour, bool redraw = true);

    // Runs `action` on the thread that owns the form's window and returns once it has run there; on
    // that thread itself it is a plain call. Any number of unit changes made by `action` cost one trip
    // between threads, where each change made from another thread costs its own. For one other thread
    // at a time. False when the form has no window or `action` did not run.
    bool run_on_window_thread(EventHandler action) const;

    void set_destroy_handler(EventHandler handler) { on_destroy_ = handler; }
    void set_close_query_handler(CloseQueryHandler handler) { on_close_query_ = handler; }

    INT_PTR handle_dialog_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
    bool erase_background(HWND window, HDC dc) override;

  private:
    friend INT_PTR CALLBACK form_dialog_procedure(HWND, UINT, WPARAM, LPARAM);

    INT_PTR load_dialog(HINSTANCE module, int template_id, CreatedHandler on_created, HWND parent,
                        bool modal);
    void paint_background(HDC dc, const RECT& area) const;
    INT_PTR handle_form_event(UINT message);
    void class_teardown() override;

    UniqueBrush background_brush_;
    COLORREF background_colour_ = 0;
    EventHandler on_destroy_ = nullptr;
    bool modal_ = false;
    CreatedHandler on_created_ = nullptr;
    CloseQueryHandler on_close_query_ = nullptr;
    // The action of run_on_window_thread, kept here rather than carried by the message, so that a
    // message from elsewhere can never make the form call an address of its choosing.
    mutable std::atomic<EventHandler> window_thread_action_{nullptr};
};

// The dialog procedure of every form: binds the pending form at WM_INITDIALOG, then hands each
// message to the form's unit.
INT_PTR CALLBACK form_dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
