#include "skin/pe_format.h"

#include <cstring>

using pe::read16;
using pe::read32;
using pe::read64;

ImageDosHeader decode_dos_header(const std::uint8_t* p)
{
    ImageDosHeader h{};
    std::uint16_t* const first_words[] = {&h.e_magic,    &h.e_cblp,     &h.e_cp,     &h.e_crlc, &h.e_cparhdr,
                                          &h.e_minalloc, &h.e_maxalloc, &h.e_ss,     &h.e_sp,   &h.e_csum,
                                          &h.e_ip,       &h.e_cs,       &h.e_lfarlc, &h.e_ovno};
    std::size_t offset = 0;
    for (std::uint16_t* word : first_words) {
        *word = read16(p + offset);
        offset += 2;
    }
    for (std::uint16_t& word : h.e_res) {
        word = read16(p + offset);
        offset += 2;
    }
    h.e_oemid = read16(p + 36);
    h.e_oeminfo = read16(p + 38);
    offset = 40;
    for (std::uint16_t& word : h.e_res2) {
        word = read16(p + offset);
        offset += 2;
    }
    h.e_lfanew = static_cast<std::int32_t>(read32(p + 60));
    return h;
}

ImageNtHeaders decode_nt_headers(const std::uint8_t* p, PeFormat format)
{
    ImageNtHeaders h{};
    h.signature = read32(p);
    const std::uint8_t* f = p + 4;
    h.file_header = {read16(f),      read16(f + 2),  read32(f + 4), read32(f + 8),
                     read32(f + 12), read16(f + 16), read16(f + 18)};
    const std::uint8_t* o = f + pe::file_header_size;
    ImageOptionalHeader& opt = h.optional_header;
    const bool plus = format == PeFormat::pe32_plus;
    opt.magic = read16(o);
    opt.major_linker_version = o[2];
    opt.minor_linker_version = o[3];
    opt.size_of_code = read32(o + 4);
    opt.size_of_initialized_data = read32(o + 8);
    opt.size_of_uninitialized_data = read32(o + 12);
    opt.address_of_entry_point = read32(o + 16);
    opt.base_of_code = read32(o + 20);
    opt.base_of_data = plus ? 0 : read32(o + 24);
    opt.image_base = plus ? read64(o + 24) : read32(o + 28);
    opt.section_alignment = read32(o + 32);
    opt.file_alignment = read32(o + 36);
    opt.major_operating_system_version = read16(o + 40);
    opt.minor_operating_system_version = read16(o + 42);
    opt.major_image_version = read16(o + 44);
    opt.minor_image_version = read16(o + 46);
    opt.major_subsystem_version = read16(o + 48);
    opt.minor_subsystem_version = read16(o + 50);
    opt.win32_version_value = read32(o + 52);
    opt.size_of_image = read32(o + 56);
    opt.size_of_headers = read32(o + 60);
    opt.check_sum = read32(o + 64);
    opt.subsystem = read16(o + 68);
    opt.dll_characteristics = read16(o + 70);
    // From here on PE32+ widens four fields to 64 bits, which shifts the rest by 16 bytes.
    if (plus) {
        opt.size_of_stack_reserve = read64(o + 72);
        opt.size_of_stack_commit = read64(o + 80);
        opt.size_of_heap_reserve = read64(o + 88);
        opt.size_of_heap_commit = read64(o + 96);
    } else {
        opt.size_of_stack_reserve = read32(o + 72);
        opt.size_of_stack_commit = read32(o + 76);
        opt.size_of_heap_reserve = read32(o + 80);
        opt.size_of_heap_commit = read32(o + 84);
    }
    const std::size_t tail = plus ? 104 : 88;
    opt.loader_flags = read32(o + tail);
    opt.number_of_rva_and_sizes = read32(o + tail + 4);
    for (std::size_t i = 0; i < 16; ++i)
        opt.data_directory[i] = {read32(o + tail + 8 + 8 * i), read32(o + tail + 12 + 8 * i)};
    return h;
}

ImageSectionHeader decode_section_header(const std::uint8_t* p)
{
    ImageSectionHeader s{};
    std::memcpy(s.name, p, sizeof s.name);
    s.virtual_size = read32(p + 8);
    s.virtual_address = read32(p + 12);
    s.size_of_raw_data = read32(p + 16);
    s.pointer_to_raw_data = read32(p + 20);
    s.pointer_to_relocations = read32(p + 24);
    s.pointer_to_linenumbers = read32(p + 28);
    s.number_of_relocations = read16(p + 32);
    s.number_of_linenumbers = read16(p + 34);
    s.characteristics = read32(p + 36);
    return s;
}
