#pragma once
// A LoaderPlatform without an operating system: blocks are heap buffers placed at made-up addresses,
// modules and symbols come from tables, and entry-point calls are recorded instead of run.

#include "skin/in_memory_library.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class FakePlatform final : public LoaderPlatform {
  public:
    Address occupied = 0;               // a preferred address that is "taken"
    bool every_preferred_taken = false; // so every image lands at `fallback` and is relocated
    Address fallback = 0x7A000000;      // where blocks land when the preferred one is not available
    std::size_t max_block = 64 << 20;   // larger reservations fail
    std::map<std::string, ModuleHandle> present{{"kernel32.dll", 0x7100}};
    std::map<std::string, ModuleHandle> loadable{{"user32.dll", 0x7200}};
    std::vector<std::string> loaded;
    std::uint32_t entry_result = 1;
    std::vector<std::pair<Address, std::uint32_t>> entry_calls;
    int reserved = 0;
    int released = 0;

    // Symbols resolve to a fixed function of module and name, unless listed as missing.
    std::vector<std::string> missing_symbols;
    static Address symbol_address(ModuleHandle module, const std::string& name)
    {
        return module * 0x10000 + name.size() * 16 + static_cast<unsigned char>(name[0]);
    }
    static Address ordinal_address(ModuleHandle module, std::uint16_t ordinal)
    {
        return module * 0x10000 + 0x8000 + ordinal;
    }

    MappedBlock reserve(Address address, std::size_t size) override
    {
        if (size > max_block || (address != 0 && (address == occupied || every_preferred_taken)))
            return {};
        blocks_.push_back(std::make_unique<std::vector<std::uint8_t>>(size, 0));
        ++reserved;
        return {blocks_.back()->data(), address != 0 ? address : fallback, size};
    }
    void release(const MappedBlock&) override { ++released; }
    ModuleHandle find_module(const char* name) override { return lookup(present, name); }
    ModuleHandle load_module(const char* name) override
    {
        const ModuleHandle m = lookup(loadable, name);
        if (m != 0)
            loaded.push_back(name);
        return m;
    }
    Address find_symbol(ModuleHandle module, const char* name) override
    {
        for (const std::string& missing : missing_symbols)
            if (missing == name)
                return 0;
        return symbol_address(module, name);
    }
    Address find_ordinal(ModuleHandle module, std::uint16_t ordinal) override
    {
        return ordinal_address(module, ordinal);
    }
    std::uint32_t call_entry(Address entry, std::uint32_t reason) override
    {
        entry_calls.emplace_back(entry, reason);
        return entry_result;
    }

    // The bytes of the most recently reserved block.
    const std::vector<std::uint8_t>& last_block() const { return *blocks_.back(); }

  private:
    static ModuleHandle lookup(const std::map<std::string, ModuleHandle>& table, const char* name)
    {
        const auto it = table.find(name);
        return it == table.end() ? 0 : it->second;
    }
    std::vector<std::unique_ptr<std::vector<std::uint8_t>>> blocks_;
};
