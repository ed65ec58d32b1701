#pragma once
// The program's skin library: mapped from memory once at start-up, then asked to attach the skin to
// the window and to detach it again. None of these report anything: the program looks the same to
// itself with or without a skin.

#include "skin/in_memory_library.h"

#include <span>

// The program-wide library; never unloaded.
extern InMemoryLibrary skin_library;

void load_skin_library();
void attach_skin(std::span<const unsigned char> skin);
void detach_skin();
