#pragma once
// A push button of a dialog, with its click handler.

#include "ui/event_handler.h"
#include "ui/unit.h"

class ButtonUnit final : public Unit {
  public:
    ~ButtonUnit() override { destroy(); }

    bool bind(HWND parent, int control_id, bool use_default_font = true)
    {
        return bind_control(parent, control_id, use_default_font);
    }
    std::string caption() const { return window_caption(); }
    void set_caption(std::string_view text) const { set_window_caption(text); }
    void set_click_handler(EventHandler handler) { on_click_ = handler; }

    LRESULT handle_command(HWND parent, HWND control, UINT notification, UINT id) override;

  private:
    // A binding lasts one window: the handler goes with it.
    void class_teardown() override { on_click_ = nullptr; }

    EventHandler on_click_ = nullptr;
};
