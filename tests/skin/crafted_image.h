#pragma once
// Builds small PE images of either format for the loader's tests: headers, a section table and raw
// section data laid out the way a linker would, with the fields a test wants to damage left open.

#include "skin/pe_format.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct CraftedSection {
    std::uint32_t virtual_address = 0;
    std::uint32_t virtual_size = 0; // 0: the raw size
    std::vector<std::uint8_t> bytes;

    void put16(std::size_t at, std::uint16_t v);
    void put32(std::size_t at, std::uint32_t v);
    void put64(std::size_t at, std::uint64_t v);
    void put_word(PeFormat format, std::size_t at, std::uint64_t v); // 4 or 8 bytes by format
    void put_string(std::size_t at, const std::string& s);           // with its NUL
};

struct CraftedImage {
    PeFormat format = PeFormat::pe32;
    std::uint64_t image_base = 0x10000000;
    std::uint16_t characteristics = pe::file_executable_image | pe::file_dll;
    std::uint16_t machine = 0; // 0: the format's own
    std::uint16_t section_count_override = 0;
    std::uint32_t entry = 0;
    std::uint32_t section_alignment = 0x1000;
    std::uint32_t size_of_headers = 0x400;
    std::array<ImageDataDirectory, 16> directories{};
    std::vector<CraftedSection> sections;

    std::vector<std::uint8_t> build() const;
};

// A complete little DLL: code with absolute pointers to its own data, three exports ("Alpha", "Beta",
// "Gamma"), imports from "kernel32.dll" (a name and ordinal 5) and "user32.dll" (a name), and a base
// relocation table for the pointers. Offsets of interest are published below.
struct SampleDll {
    static constexpr std::uint32_t text_rva = 0x1000;
    static constexpr std::uint32_t rdata_rva = 0x2000;
    static constexpr std::uint32_t reloc_rva = 0x3000;
    static constexpr std::uint32_t pointer_offsets[] = {0x10, 0x20, 0x30}; // in .text
    static constexpr std::uint32_t export_rvas[] = {0x1100, 0x1200, 0x1300};
    static constexpr std::uint32_t export_directory = rdata_rva;
    static constexpr std::uint32_t import_directory = rdata_rva + 0x100;
    static constexpr std::uint32_t kernel32_iat = rdata_rva + 0x200;
    static constexpr std::uint32_t user32_iat = rdata_rva + 0x280;

    static CraftedImage make(PeFormat format);
};

// A DLL whose entry point appends its reason to log[1..] (log[0] counts the calls) and returns
// `result`: machine code for the given format, no imports, a relocation table with padding only.
CraftedImage recording_entry_image(PeFormat format, std::uint64_t image_base, std::uintptr_t log_address,
                                   std::uint32_t result);
