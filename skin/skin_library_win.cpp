#include "skin/skin_library.h"

#include "resources/skin/skin_resources.h"
#include "skin/call_address.h"
#include "skin/loader_platform_win.h"

InMemoryLibrary skin_library(windows_loader_platform(), native_pe_format);

void load_skin_library()
{
    // Without the library the program simply runs unskinned; find_export then yields 0.
    skin_library.load({SkinLibraryImage, SkinLibraryImage_size});
}

void attach_skin(std::span<const unsigned char> skin)
{
    // Looked up afresh on every call; no address outlives the call.
    if (const Address address = skin_library.find_export("SkinAttach"))
        call_address(address, reinterpret_cast<std::uintptr_t>(skin.data()), skin.size());
}

void detach_skin()
{
    if (const Address address = skin_library.find_export("SkinDetach"))
        call_address(address);
}
