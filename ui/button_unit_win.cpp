#include "ui/button_unit.h"

LRESULT ButtonUnit::handle_command(HWND, HWND, UINT notification, UINT)
{
    if (notification == BN_CLICKED && on_click_ != nullptr)
        on_click_();
    // Unanswered, so the dialog manager still sees the command.
    return 0;
}
