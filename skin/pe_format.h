#pragma once
// PE/COFF records as the loader keeps them: decoded copies of the little-endian file structures.
// One decoder serves both image formats; the optional header is widened to the PE32+ field sizes.

#include <cstddef>
#include <cstdint>

enum class PeFormat {
    pe32,     // x86 images: 224-byte optional header, 32-bit thunks, HIGHLOW relocations
    pe32_plus // x64 images: 240-byte optional header, 64-bit thunks, DIR64 relocations
};

namespace pe {
inline constexpr std::uint16_t dos_magic = 0x5A4D;    // "MZ"
inline constexpr std::uint32_t nt_signature = 0x4550; // "PE\0\0"
inline constexpr std::uint16_t file_executable_image = 0x0002;
inline constexpr std::uint16_t file_relocs_stripped = 0x0001;
inline constexpr std::uint16_t file_dll = 0x2000;
inline constexpr std::uint16_t machine_i386 = 0x014C;
inline constexpr std::uint16_t machine_amd64 = 0x8664;
inline constexpr std::uint16_t optional_magic_pe32 = 0x10B;
inline constexpr std::uint16_t optional_magic_pe32_plus = 0x20B;
inline constexpr std::size_t dos_header_size = 64;
inline constexpr std::size_t file_header_size = 20;
inline constexpr std::size_t section_header_size = 40;
inline constexpr std::size_t export_directory_size = 40;
inline constexpr std::size_t import_descriptor_size = 20;
inline constexpr std::size_t relocation_block_header_size = 8;
inline constexpr std::size_t directory_export = 0;
inline constexpr std::size_t directory_import = 1;
inline constexpr std::size_t directory_base_relocation = 5;
inline constexpr std::size_t directory_tls = 9;
inline constexpr std::uint16_t rel_based_absolute = 0;
inline constexpr std::uint16_t rel_based_highlow = 3;
inline constexpr std::uint16_t rel_based_dir64 = 10;
inline constexpr std::uint32_t dll_process_detach = 0;
inline constexpr std::uint32_t dll_process_attach = 1;

// Sizes and values that differ between the two formats.
constexpr std::size_t optional_header_size(PeFormat f)
{
    return f == PeFormat::pe32 ? 0xE0 : 0xF0;
}
constexpr std::size_t nt_headers_size(PeFormat f)
{
    return 4 + file_header_size + optional_header_size(f);
}
constexpr std::size_t thunk_size(PeFormat f)
{
    return f == PeFormat::pe32 ? 4 : 8;
}
constexpr std::uint64_t ordinal_flag(PeFormat f)
{
    return f == PeFormat::pe32 ? 0x80000000ull : 0x8000000000000000ull;
}
constexpr std::uint16_t machine(PeFormat f)
{
    return f == PeFormat::pe32 ? machine_i386 : machine_amd64;
}
constexpr std::uint16_t optional_magic(PeFormat f)
{
    return f == PeFormat::pe32 ? optional_magic_pe32 : optional_magic_pe32_plus;
}

inline std::uint16_t read16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t read32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint64_t read64(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(read32(p)) | static_cast<std::uint64_t>(read32(p + 4)) << 32;
}
inline void write32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void write64(std::uint8_t* p, std::uint64_t v)
{
    write32(p, static_cast<std::uint32_t>(v));
    write32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
} // namespace pe

struct ImageDosHeader {
    std::uint16_t e_magic, e_cblp, e_cp, e_crlc, e_cparhdr, e_minalloc, e_maxalloc, e_ss, e_sp, e_csum, e_ip,
        e_cs, e_lfarlc, e_ovno;
    std::uint16_t e_res[4];
    std::uint16_t e_oemid, e_oeminfo;
    std::uint16_t e_res2[10];
    std::int32_t e_lfanew;
};

struct ImageDataDirectory {
    std::uint32_t virtual_address;
    std::uint32_t size;
};

struct ImageFileHeader {
    std::uint16_t machine;
    std::uint16_t number_of_sections;
    std::uint32_t time_date_stamp;
    std::uint32_t pointer_to_symbol_table;
    std::uint32_t number_of_symbols;
    std::uint16_t size_of_optional_header;
    std::uint16_t characteristics;
};

// Both formats in one record; base_of_data exists in PE32 only and stays 0 for PE32+.
struct ImageOptionalHeader {
    std::uint16_t magic;
    std::uint8_t major_linker_version, minor_linker_version;
    std::uint32_t size_of_code, size_of_initialized_data, size_of_uninitialized_data;
    std::uint32_t address_of_entry_point, base_of_code, base_of_data;
    std::uint64_t image_base;
    std::uint32_t section_alignment, file_alignment;
    std::uint16_t major_operating_system_version, minor_operating_system_version;
    std::uint16_t major_image_version, minor_image_version;
    std::uint16_t major_subsystem_version, minor_subsystem_version;
    std::uint32_t win32_version_value, size_of_image, size_of_headers, check_sum;
    std::uint16_t subsystem, dll_characteristics;
    std::uint64_t size_of_stack_reserve, size_of_stack_commit, size_of_heap_reserve, size_of_heap_commit;
    std::uint32_t loader_flags, number_of_rva_and_sizes;
    ImageDataDirectory data_directory[16];
};

struct ImageNtHeaders {
    std::uint32_t signature;
    ImageFileHeader file_header;
    ImageOptionalHeader optional_header;
};

struct ImageSectionHeader {
    std::uint8_t name[8];
    std::uint32_t virtual_size, virtual_address, size_of_raw_data, pointer_to_raw_data;
    std::uint32_t pointer_to_relocations, pointer_to_linenumbers;
    std::uint16_t number_of_relocations, number_of_linenumbers;
    std::uint32_t characteristics;
};

// Each decoder reads exactly the bytes its structure occupies in the file; the caller has checked that
// they are there.
ImageDosHeader decode_dos_header(const std::uint8_t* p);
ImageNtHeaders decode_nt_headers(const std::uint8_t* p, PeFormat format);
ImageSectionHeader decode_section_header(const std::uint8_t* p);
