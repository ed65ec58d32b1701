#pragma once
// Path texts in GBK.

#include <string_view>

#include "runtime/text.h"

// Everything before the last backslash that is a character of its own (a second byte 0x5C of a
// two-byte character is not a separator); the whole path when it has none. Never ends in a backslash
// it had as separator: C:\upd.exe gives C:.
Text directory_of(std::string_view path);
