#include "skin/in_memory_library.h"

#include <cstring>

namespace {

// Every RVA and length read from an image passes through these before a byte is touched: a damaged
// image must be refused, never followed outside its block.
bool fits(std::uint64_t offset, std::uint64_t length, std::uint64_t limit)
{
    return offset <= limit && length <= limit - offset;
}

// The NUL-terminated string at `offset`, or null when it does not end inside the block.
const char* string_in(const MappedBlock& block, std::uint64_t offset)
{
    if (offset >= block.size)
        return nullptr;
    const void* end = std::memchr(block.bytes + offset, 0, block.size - offset);
    return end ? reinterpret_cast<const char*>(block.bytes + offset) : nullptr;
}

} // namespace

bool InMemoryLibrary::load(std::span<const std::uint8_t> image)
{
    if (base_ != 0)
        return false;
    if (!parse_headers(image.data(), image.size()))
        return false;
    const std::uint32_t size = image_size();
    if (size == 0)
        return false;

    const ImageOptionalHeader& opt = nt_headers_.optional_header;
    MappedBlock block{};
    if (opt.image_base != 0 && opt.image_base <= UINTPTR_MAX)
        block = platform_.reserve(static_cast<Address>(opt.image_base), size);
    if (block.bytes == nullptr)
        block = platform_.reserve(0, size);
    if (block.bytes == nullptr)
        return false;

    const bool moved = block.address != opt.image_base;
    const bool has_relocations = opt.data_directory[pe::directory_base_relocation].size > 0;
    // An image that moved but cannot be relocated would run with every absolute address wrong.
    const bool placeable = !moved || has_relocations;
    // The entry point must lie in the block; an RVA of 0 means the DLL has none, as for the system loader.
    const bool entry_ok = !runs_entry() || opt.address_of_entry_point < block.size;
    if (!placeable || !entry_ok || !map_sections(block, image.data(), image.size()) ||
        (has_relocations && !apply_relocations(block)) || !resolve_imports(block)) {
        platform_.release(block);
        return false;
    }

    if (runs_entry()) {
        const Address entry = block.address + opt.address_of_entry_point;
        if (platform_.call_entry(entry, pe::dll_process_attach) == 0) {
            platform_.call_entry(entry, pe::dll_process_detach);
            platform_.release(block);
            return false;
        }
    }
    base_ = block.address;
    block_bytes_ = block.bytes;
    block_size_ = block.size;
    return true;
}

void InMemoryLibrary::unload()
{
    if (base_ == 0)
        return;
    if (runs_entry())
        platform_.call_entry(entry_point(), pe::dll_process_detach);
    platform_.release({block_bytes_, base_, block_size_});
    base_ = 0;
    block_bytes_ = nullptr;
    block_size_ = 0;
}

Address InMemoryLibrary::entry_point() const
{
    return base_ == 0 ? 0 : base_ + nt_headers_.optional_header.address_of_entry_point;
}

bool InMemoryLibrary::parse_headers(const std::uint8_t* image, std::size_t length)
{
    if (length < pe::dos_header_size)
        return false;
    dos_header_ = decode_dos_header(image);
    if (dos_header_.e_magic != pe::dos_magic)
        return false;
    const std::size_t nt_size = pe::nt_headers_size(format_);
    if (dos_header_.e_lfanew < 0 || !fits(static_cast<std::uint64_t>(dos_header_.e_lfanew), nt_size, length))
        return false;
    const std::size_t nt_offset = static_cast<std::size_t>(dos_header_.e_lfanew);
    nt_headers_ = decode_nt_headers(image + nt_offset, format_);
    const ImageFileHeader& file = nt_headers_.file_header;
    if (nt_headers_.signature != pe::nt_signature ||
        (file.characteristics & pe::file_executable_image) == 0 ||
        file.size_of_optional_header != pe::optional_header_size(format_))
        return false;
    // The other build's images have the other optional header; a foreign machine's code cannot run here.
    if (file.machine != pe::machine(format_) ||
        nt_headers_.optional_header.magic != pe::optional_magic(format_))
        return false;
    // 32768 sections or more read as a negative count once widened as a signed 16-bit value.
    if (file.number_of_sections >= 0x8000)
        return false;
    const std::size_t count = file.number_of_sections;
    const std::uint64_t table = nt_offset + nt_size;
    sections_.clear();
    sections_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t at = table + pe::section_header_size * i;
        if (!fits(at, pe::section_header_size, length))
            return false;
        sections_.push_back(decode_section_header(image + at));
        const ImageSectionHeader& s = sections_.back();
        if (!fits(s.pointer_to_raw_data, s.size_of_raw_data, length))
            return false;
    }
    return true;
}

std::uint64_t InMemoryLibrary::align_up(std::uint64_t value, std::uint64_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

std::uint32_t InMemoryLibrary::image_size() const
{
    const ImageOptionalHeader& opt = nt_headers_.optional_header;
    const std::uint64_t alignment = opt.section_alignment;
    if (alignment == 0)
        return 0;
    std::uint64_t size = align_up(opt.size_of_headers, alignment);
    for (const ImageSectionHeader& s : sections_) {
        const std::uint64_t extent =
            s.size_of_raw_data > s.virtual_size ? s.size_of_raw_data : s.virtual_size;
        const std::uint64_t end = align_up(s.virtual_address + extent, alignment);
        if (end > size)
            size = end;
    }
    return size > UINT32_MAX ? 0 : static_cast<std::uint32_t>(size);
}

bool InMemoryLibrary::map_sections(const MappedBlock& block, const std::uint8_t* image,
                                   std::size_t length) const
{
    // The copy takes the section table along even where SizeOfHeaders stops short of it.
    const std::uint64_t header_bytes = std::uint64_t{nt_headers_.optional_header.size_of_headers} +
                                       pe::section_header_size * sections_.size();
    if (header_bytes > length || header_bytes > block.size)
        return false;
    std::memcpy(block.bytes, image, header_bytes);
    for (const ImageSectionHeader& s : sections_) {
        if (s.virtual_address == 0)
            break;
        if (!fits(s.virtual_address, s.size_of_raw_data, block.size) ||
            !fits(s.pointer_to_raw_data, s.size_of_raw_data, length))
            return false;
        if (s.size_of_raw_data != 0)
            std::memcpy(block.bytes + s.virtual_address, image + s.pointer_to_raw_data, s.size_of_raw_data);
    }
    return true;
}

bool InMemoryLibrary::apply_relocations(const MappedBlock& block) const
{
    const ImageDataDirectory dir = nt_headers_.optional_header.data_directory[pe::directory_base_relocation];
    if (!fits(dir.virtual_address, dir.size, block.size))
        return false;
    const std::uint64_t delta = block.address - nt_headers_.optional_header.image_base;
    const std::uint64_t end = std::uint64_t{dir.virtual_address} + dir.size;
    std::uint64_t p = dir.virtual_address;
    while (end - p >= pe::relocation_block_header_size) {
        const std::uint32_t page = pe::read32(block.bytes + p);
        const std::uint32_t block_size = pe::read32(block.bytes + p + 4);
        if (page == 0)
            break;
        if (block_size < pe::relocation_block_header_size || block_size > end - p)
            return false;
        for (std::uint64_t e = p + pe::relocation_block_header_size; e + 2 <= p + block_size; e += 2) {
            const std::uint16_t entry = pe::read16(block.bytes + e);
            const std::uint16_t type = entry >> 12;
            const std::uint64_t target = std::uint64_t{page} + (entry & 0x0FFF);
            if (type == pe::rel_based_highlow) {
                if (!fits(target, 4, block.size))
                    return false;
                std::uint8_t* at = block.bytes + target;
                pe::write32(at, pe::read32(at) + static_cast<std::uint32_t>(delta));
            } else if (type == pe::rel_based_dir64 && format_ == PeFormat::pe32_plus) {
                if (!fits(target, 8, block.size))
                    return false;
                std::uint8_t* at = block.bytes + target;
                pe::write64(at, pe::read64(at) + delta);
            }
        }
        p += block_size;
    }
    return true;
}

bool InMemoryLibrary::resolve_imports(const MappedBlock& block) const
{
    const ImageDataDirectory dir = nt_headers_.optional_header.data_directory[pe::directory_import];
    if (dir.virtual_address == 0)
        return true;
    const std::size_t thunk = pe::thunk_size(format_);
    const std::uint64_t ordinal_flag = pe::ordinal_flag(format_);
    for (std::uint64_t d = dir.virtual_address;; d += pe::import_descriptor_size) {
        if (!fits(d, pe::import_descriptor_size, block.size))
            return false;
        const std::uint32_t name_rva = pe::read32(block.bytes + d + 12);
        const std::uint32_t first_thunk = pe::read32(block.bytes + d + 16);
        if (first_thunk == 0)
            return true;
        const char* module_name = string_in(block, name_rva);
        if (module_name == nullptr)
            return false;
        ModuleHandle module = platform_.find_module(module_name);
        if (module == 0)
            module = platform_.load_module(module_name);
        if (module == 0)
            return false;
        for (std::uint64_t t = first_thunk;; t += thunk) {
            if (!fits(t, thunk, block.size))
                return false;
            std::uint8_t* slot = block.bytes + t;
            const std::uint64_t entry = thunk == 4 ? pe::read32(slot) : pe::read64(slot);
            if (entry == 0)
                break;
            Address address = 0;
            if (entry & ordinal_flag) {
                address = platform_.find_ordinal(module, static_cast<std::uint16_t>(entry & 0xFFFF));
            } else {
                const char* symbol = string_in(block, (entry & 0x7FFFFFFF) + std::uint64_t{2});
                if (symbol == nullptr || (entry >> 31) != 0)
                    return false;
                address = platform_.find_symbol(module, symbol);
            }
            if (address == 0)
                return false;
            if (thunk == 4)
                pe::write32(slot, static_cast<std::uint32_t>(address));
            else
                pe::write64(slot, address);
        }
    }
}

Address InMemoryLibrary::find_export(const char* name) const
{
    if (base_ == 0)
        return 0;
    const ImageDataDirectory dir = nt_headers_.optional_header.data_directory[pe::directory_export];
    if (dir.size == 0 || !fits(dir.virtual_address, pe::export_directory_size, block_size_))
        return 0;
    const MappedBlock block{block_bytes_, base_, block_size_};
    const std::uint8_t* d = block.bytes + dir.virtual_address;
    const std::uint32_t function_count = pe::read32(d + 20);
    const std::uint32_t name_count = pe::read32(d + 24);
    const std::uint32_t functions = pe::read32(d + 28);
    const std::uint32_t names = pe::read32(d + 32);
    // A name without a function would index past the address table.
    if (name_count == 0 || name_count > function_count ||
        !fits(functions, 4ull * function_count, block.size) || !fits(names, 4, block.size))
        return 0;
    // Names are stored back to back in name-table order, the k-th naming the k-th function.
    std::uint64_t at = pe::read32(block.bytes + names);
    for (std::uint32_t k = 0; k < name_count; ++k) {
        const char* candidate = string_in(block, at);
        if (candidate == nullptr)
            return 0;
        const std::size_t length = std::strlen(candidate);
        if (std::strcmp(candidate, name) == 0) {
            const std::uint32_t rva = pe::read32(block.bytes + functions + 4ull * k);
            // A forwarder's RVA names a string, not code; calling it would run text.
            const bool forwarder = rva >= dir.virtual_address && rva - dir.virtual_address < dir.size;
            if (rva == 0 || rva >= block.size || forwarder)
                return 0;
            return base_ + rva;
        }
        at += length + 1;
    }
    return 0;
}
