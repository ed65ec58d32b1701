#pragma once
// The Win32 side of the loader: blocks from VirtualAlloc, modules through the system's own functions,
// entry points through call_address. Each Windows build maps its own image format.

#include "skin/in_memory_library.h"

inline constexpr PeFormat native_pe_format = sizeof(void*) == 8 ? PeFormat::pe32_plus : PeFormat::pe32;

LoaderPlatform& windows_loader_platform();
