#pragma once
// The table from window handle to unit. Used only on the user-interface thread, which owns every
// window, so it takes no lock.

#include <windows.h>

#include <utility>
#include <vector>

class Unit;

class WindowRegistry {
  public:
    // False for a null handle and for a window that another unit already stands for.
    bool add(HWND window, Unit* unit);
    // The unit of `window`; null for a null handle or a window that has none.
    Unit* find(HWND window) const;
    void remove(HWND window);
    void clear();

  private:
    // A handful of windows: a linear search beats hashing here.
    std::vector<std::pair<HWND, Unit*>> entries_;
};

// The program's one registry.
WindowRegistry& window_registry();
