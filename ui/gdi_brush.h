#pragma once
// Owner of a GDI brush the unit created itself; stock brushes are never put in one.

#include <windows.h>

#include <memory>
#include <type_traits>

struct BrushDeleter {
    void operator()(HBRUSH brush) const { DeleteObject(brush); }
};
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, BrushDeleter>;

inline UniqueBrush make_solid_brush(COLORREF colour)
{
    return UniqueBrush(CreateSolidBrush(colour));
}
