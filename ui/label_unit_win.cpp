#include "ui/label_unit.h"

bool LabelUnit::bind(HWND parent, int control_id, bool use_default_font)
{
    if (!bind_control(parent, control_id, use_default_font))
        return false;
    set_background_colour(GetSysColor(COLOR_BTNFACE), false);
    return true;
}

COLORREF LabelUnit::set_background_colour(COLORREF colour, bool redraw)
{
    background_colour_ = colour;
    background_brush_ = make_solid_brush(colour);
    if (redraw && window() != nullptr)
        InvalidateRect(window(), nullptr, TRUE);
    return background_colour_;
}

HBRUSH LabelUnit::handle_control_colour(HWND, HDC dc)
{
    if (!background_brush_)
        return nullptr;
    SetTextColor(dc, text_colour_);
    SetBkColor(dc, background_colour_);
    return background_brush_.get();
}

void LabelUnit::class_teardown()
{
    background_brush_.reset();
    text_colour_ = RGB(0, 0, 0);
    background_colour_ = 0;
}
