#pragma once
// The updater's window: dialog template 1000 and its handlers, all run on the user-interface thread.

#include <windows.h>

inline constexpr int main_form_template = 1000;
inline constexpr int progress_bar_id = 1002;
inline constexpr int update_button_id = 1003;
inline constexpr int status_label_id = 1004;
inline constexpr int window_icon_id = 130;
// RGB(228, 243, 249), a pale blue.
inline constexpr COLORREF main_form_colour = 0x00F9F3E4;

// At WM_INITDIALOG, before the window is first shown: checks the command line, then sets the window
// up and starts the download.
void on_form_created(HWND window);
void on_update_button_clicked();
void on_form_destroyed();
