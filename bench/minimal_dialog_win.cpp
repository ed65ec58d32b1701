// The floor for the updater's start-up: a program that shows dialog template 1000, the very template the
// updater shows, with nothing else to do (no skin library, no command line, no worker).

#include <windows.h>
#include <commctrl.h>

namespace {

INT_PTR CALLBACK dialog_procedure(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        EndDialog(window, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // The template holds a progress bar.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(1000), nullptr, dialog_procedure, 0);
    return 0;
}
