#pragma once
// A static text of a dialog, drawn on a background colour of its own.

#include "ui/gdi_brush.h"
#include "ui/unit.h"

class LabelUnit final : public Unit {
  public:
    ~LabelUnit() override { destroy(); }

    // Binding gives the label the button-face background, as the form around it may be coloured.
    bool bind(HWND parent, int control_id, bool use_default_font = true);
    std::string caption() const { return window_caption(); }
    // Safe from any thread: only sends the text to the window.
    void set_caption(std::string_view text) const { set_window_caption(text); }

    COLORREF background_colour() const { return background_colour_; }
    // A solid background; the label is repainted unless `redraw` is false.
    COLORREF set_background_colour(COLORREF colour, bool redraw = true);

    HBRUSH handle_control_colour(HWND control, HDC dc) override;

  private:
    void class_teardown() override;

    COLORREF text_colour_ = RGB(0, 0, 0);
    COLORREF background_colour_ = 0;
    UniqueBrush background_brush_;
};
