#include "ui/progress_bar_unit.h"

#include <commctrl.h>

ProgressBarUnit::ProgressBarUnit()
{
    // ICC_PROGRESS_CLASS: older common-controls versions register the class only when asked.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PAGESCROLLER_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

int ProgressBarUnit::position() const
{
    return static_cast<int>(SendMessageA(window(), PBM_GETPOS, 0, 0));
}

int ProgressBarUnit::set_position(int value) const
{
    return static_cast<int>(SendMessageA(window(), PBM_SETPOS, static_cast<WPARAM>(value), 0));
}
