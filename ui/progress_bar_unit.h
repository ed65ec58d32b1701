#pragma once
// A progress bar of a dialog; its range stays the control's default, 0 to 100.

#include "ui/unit.h"

class ProgressBarUnit final : public Unit {
  public:
    // Registers the progress-bar class, which a dialog template naming it needs before it loads.
    ProgressBarUnit();
    ~ProgressBarUnit() override { destroy(); }

    // The bar keeps its own font.
    bool bind(HWND parent, int control_id) { return bind_control(parent, control_id, false); }
    int position() const;
    // Safe from any thread: sends PBM_SETPOS, so the bar shows `value` when this returns. Values
    // out of range are left for the control to clamp. Gives the previous position.
    int set_position(int value) const;
};
