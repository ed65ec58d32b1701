#include "ui/window_registry.h"

#include <algorithm>

namespace {

auto find_entry(auto& entries, HWND window)
{
    return std::find_if(entries.begin(), entries.end(),
                        [window](const auto& entry) { return entry.first == window; });
}

} // namespace

bool WindowRegistry::add(HWND window, Unit* unit)
{
    if (window == nullptr || unit == nullptr)
        return false;
    auto entry = find_entry(entries_, window);
    if (entry != entries_.end())
        return entry->second == unit;
    entries_.emplace_back(window, unit);
    return true;
}

Unit* WindowRegistry::find(HWND window) const
{
    if (window == nullptr)
        return nullptr;
    auto entry = find_entry(entries_, window);
    return entry == entries_.end() ? nullptr : entry->second;
}

void WindowRegistry::remove(HWND window)
{
    auto entry = find_entry(entries_, window);
    if (entry != entries_.end())
        entries_.erase(entry);
}

void WindowRegistry::clear()
{
    entries_.clear();
    entries_.shrink_to_fit();
}

namespace {
// Constant-initialised, so it exists before any unit and needs no thread-safe first-use guard.
constinit WindowRegistry registry;
} // namespace

WindowRegistry& window_registry()
{
    return registry;
}
