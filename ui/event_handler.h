#pragma once
// The program's routines that units call for their events; null means no handler.

#include <windows.h>

using EventHandler = void (*)();
// Receives the form's new window before it is first shown.
using CreatedHandler = void (*)(HWND window);
// Nonzero keeps the form open.
using CloseQueryHandler = int (*)();
