#include "skin/loader_platform_win.h"

#include "skin/call_address.h"

#include <windows.h>

namespace {

class WindowsLoaderPlatform final : public LoaderPlatform {
  public:
    MappedBlock reserve(Address address, std::size_t size) override
    {
        // Executable as a whole: the loader applies no per-section protection.
        void* block = VirtualAlloc(reinterpret_cast<void*>(address), size, MEM_COMMIT | MEM_RESERVE,
                                   PAGE_EXECUTE_READWRITE);
        if (block == nullptr)
            return {};
        return {static_cast<std::uint8_t*>(block), reinterpret_cast<Address>(block), size};
    }
    void release(const MappedBlock& block) override { VirtualFree(block.bytes, 0, MEM_RELEASE); }
    ModuleHandle find_module(const char* name) override
    {
        return reinterpret_cast<ModuleHandle>(GetModuleHandleA(name));
    }
    ModuleHandle load_module(const char* name) override
    {
        return reinterpret_cast<ModuleHandle>(LoadLibraryA(name));
    }
    Address find_symbol(ModuleHandle module, const char* name) override
    {
        return reinterpret_cast<Address>(GetProcAddress(reinterpret_cast<HMODULE>(module), name));
    }
    Address find_ordinal(ModuleHandle module, std::uint16_t ordinal) override
    {
        return reinterpret_cast<Address>(
            GetProcAddress(reinterpret_cast<HMODULE>(module), MAKEINTRESOURCEA(ordinal)));
    }
    std::uint32_t call_entry(Address entry, std::uint32_t reason) override
    {
        return static_cast<std::uint32_t>(call_address(entry, 0, reason, 0));
    }
};

WindowsLoaderPlatform platform;

} // namespace

LoaderPlatform& windows_loader_platform()
{
    return platform;
}
