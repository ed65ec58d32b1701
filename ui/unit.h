#pragma once
// Units: the objects through which the program drives its window and controls. A unit is bound to
// one window, stands for it in the WindowRegistry, and receives its messages through unit_router,
// which replaces the window's procedure until the window is destroyed or the unit is.

#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>

class Unit {
  public:
    Unit() = default;
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;
    virtual ~Unit() = default;

    // The bound window; null before binding and after detaching. Safe to read on any thread.
    HWND window() const { return window_.load(std::memory_order_acquire); }

    virtual LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    virtual INT_PTR handle_dialog_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    // A WM_COMMAND from this unit's control to `parent`; nonzero answers it.
    virtual LRESULT handle_command(HWND parent, HWND control, UINT notification, UINT id);
    // A WM_CTLCOLOR* of this unit's control; a non-null brush answers it.
    virtual HBRUSH handle_control_colour(HWND control, HDC dc);
    // True when the background has been painted.
    virtual bool erase_background(HWND window, HDC dc);

    // Ends the binding to `window`: the unit's own resources go, the window gets its procedure back
    // and leaves the registry. Does nothing unless `window` is the unit's window.
    void detach(HWND window);
    // Detaches from the unit's own window, if it still has one.
    void destroy() { detach(window()); }

  protected:
    // Registers the unit for `window` and puts unit_router in front of its procedure.
    bool attach(HWND window);
    // Binds to control `control_id` of `parent`; the default GUI font replaces the template's when
    // asked. False when the unit is already bound or the control does not exist.
    bool bind_control(HWND parent, int control_id, bool use_default_font);
    // What each class releases at detach.
    virtual void class_teardown() {}

    std::string window_caption() const;
    // Sends WM_SETTEXT, so from another thread it returns once the window's thread has applied it.
    void set_window_caption(std::string_view text) const;

  private:
    std::atomic<HWND> window_{nullptr};
    WNDPROC previous_procedure_ = nullptr;
};

// The window procedure of every bound window.
LRESULT CALLBACK unit_router(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
