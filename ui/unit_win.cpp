#include "ui/unit.h"

#include "ui/window_registry.h"

LRESULT CALLBACK unit_router(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (Unit* unit = window_registry().find(window))
        return unit->handle_message(window, message, wparam, lparam);
    return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT Unit::handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_COMMAND: {
        const auto control = reinterpret_cast<HWND>(lparam);
        if (Unit* unit = window_registry().find(control)) {
            if (LRESULT result = unit->handle_command(window, control, HIWORD(wparam), LOWORD(wparam)))
                return result;
        }
        break;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        const auto control = reinterpret_cast<HWND>(lparam);
        if (Unit* unit = window_registry().find(control)) {
            if (HBRUSH brush = unit->handle_control_colour(control, reinterpret_cast<HDC>(wparam)))
                return reinterpret_cast<LRESULT>(brush);
        }
        break;
    }
    case WM_ERASEBKGND:
        if (erase_background(window, reinterpret_cast<HDC>(wparam)))
            return 1;
        break;
    case WM_NCDESTROY: {
        // The window's last message: the unit lets go first, then the original procedure, put back
        // by detach, finishes the window.
        WNDPROC previous = previous_procedure_;
        detach(window);
        return previous ? CallWindowProcA(previous, window, message, wparam, lparam)
                        : DefWindowProcA(window, message, wparam, lparam);
    }
    default:
        break;
    }
    return previous_procedure_ ? CallWindowProcA(previous_procedure_, window, message, wparam, lparam)
                               : DefWindowProcA(window, message, wparam, lparam);
}

INT_PTR Unit::handle_dialog_message(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

LRESULT Unit::handle_command(HWND, HWND, UINT, UINT)
{
    return 0;
}

HBRUSH Unit::handle_control_colour(HWND, HDC)
{
    return nullptr;
}

bool Unit::erase_background(HWND, HDC)
{
    return false;
}

bool Unit::attach(HWND window)
{
    if (this->window() != nullptr || !window_registry().add(window, this))
        return false;
    const auto router = reinterpret_cast<LONG_PTR>(&unit_router);
    const LONG_PTR current = GetWindowLongPtrA(window, GWLP_WNDPROC);
    if (current != router) {
        previous_procedure_ = reinterpret_cast<WNDPROC>(current);
        SetWindowLongPtrA(window, GWLP_WNDPROC, router);
    }
    window_.store(window, std::memory_order_release);
    return true;
}

bool Unit::bind_control(HWND parent, int control_id, bool use_default_font)
{
    if (window() != nullptr)
        return false;
    HWND control = GetDlgItem(parent, control_id);
    if (control == nullptr || !attach(control))
        return false;
    if (use_default_font)
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return true;
}

void Unit::detach(HWND window)
{
    if (window == nullptr || window != this->window())
        return;
    class_teardown();
    if (previous_procedure_ != nullptr)
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_procedure_));
    window_registry().remove(window);
    previous_procedure_ = nullptr;
    window_.store(nullptr, std::memory_order_release);
}

std::string Unit::window_caption() const
{
    HWND window = this->window();
    const int length = GetWindowTextLengthA(window);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

void Unit::set_window_caption(std::string_view text) const
{
    const std::string terminated(text);
    SetWindowTextA(window(), terminated.c_str());
}
