#include "tests/skin/crafted_image.h"

void CraftedSection::put16(std::size_t at, std::uint16_t v)
{
    if (bytes.size() < at + 2)
        bytes.resize(at + 2);
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void CraftedSection::put32(std::size_t at, std::uint32_t v)
{
    put16(at, static_cast<std::uint16_t>(v));
    put16(at + 2, static_cast<std::uint16_t>(v >> 16));
}

void CraftedSection::put64(std::size_t at, std::uint64_t v)
{
    put32(at, static_cast<std::uint32_t>(v));
    put32(at + 4, static_cast<std::uint32_t>(v >> 32));
}

void CraftedSection::put_word(PeFormat format, std::size_t at, std::uint64_t v)
{
    if (format == PeFormat::pe32)
        put32(at, static_cast<std::uint32_t>(v));
    else
        put64(at, v);
}

void CraftedSection::put_string(std::size_t at, const std::string& s)
{
    if (bytes.size() < at + s.size() + 1)
        bytes.resize(at + s.size() + 1);
    for (std::size_t i = 0; i < s.size(); ++i)
        bytes[at + i] = static_cast<std::uint8_t>(s[i]);
    bytes[at + s.size()] = 0;
}

std::vector<std::uint8_t> CraftedImage::build() const
{
    const bool plus = format == PeFormat::pe32_plus;
    CraftedSection headers; // the file as one writable buffer
    headers.bytes.assign(size_of_headers, 0);
    headers.put16(0, pe::dos_magic);
    const std::size_t nt = 0x40;
    headers.put32(60, nt);
    headers.put32(nt, pe::nt_signature);
    const std::size_t file = nt + 4;
    headers.put16(file, machine ? machine : pe::machine(format));
    headers.put16(file + 2, section_count_override ? section_count_override
                                                   : static_cast<std::uint16_t>(sections.size()));
    headers.put16(file + 16, static_cast<std::uint16_t>(pe::optional_header_size(format)));
    headers.put16(file + 18, characteristics);
    const std::size_t opt = file + pe::file_header_size;
    headers.put16(opt, pe::optional_magic(format));
    headers.put32(opt + 16, entry);
    if (plus)
        headers.put64(opt + 24, image_base);
    else
        headers.put32(opt + 28, static_cast<std::uint32_t>(image_base));
    headers.put32(opt + 32, section_alignment);
    headers.put32(opt + 36, 0x200);
    headers.put32(opt + 60, size_of_headers);
    const std::size_t tail = plus ? 104 : 88;
    headers.put32(opt + tail + 4, 16);
    for (std::size_t i = 0; i < 16; ++i) {
        headers.put32(opt + tail + 8 + 8 * i, directories[i].virtual_address);
        headers.put32(opt + tail + 12 + 8 * i, directories[i].size);
    }
    std::size_t table = opt + pe::optional_header_size(format);
    std::uint32_t raw = size_of_headers;
    std::uint32_t image_end = size_of_headers;
    for (const CraftedSection& s : sections) {
        const std::uint32_t raw_size = static_cast<std::uint32_t>(s.bytes.size());
        headers.put_string(table, ".sect");
        headers.put32(table + 8, s.virtual_size ? s.virtual_size : raw_size);
        headers.put32(table + 12, s.virtual_address);
        headers.put32(table + 16, raw_size);
        headers.put32(table + 20, raw);
        if (headers.bytes.size() < raw)
            headers.bytes.resize(raw);
        headers.bytes.insert(headers.bytes.begin() + raw, s.bytes.begin(), s.bytes.end());
        headers.bytes.resize(raw + raw_size);
        raw = (raw + raw_size + 0x1FF) & ~0x1FFu;
        image_end = std::max(image_end, s.virtual_address + std::max(raw_size, s.virtual_size));
        table += pe::section_header_size;
    }
    headers.put32(opt + 56, (image_end + section_alignment - 1) /
                                (section_alignment ? section_alignment : 1) * section_alignment);
    return headers.bytes;
}

CraftedImage SampleDll::make(PeFormat format)
{
    CraftedImage image;
    image.format = format;
    image.image_base = format == PeFormat::pe32 ? 0x10000000 : 0x180000000;
    image.entry = export_rvas[0];

    CraftedSection text{text_rva, 0x2000 - 0x1000, std::vector<std::uint8_t>(0x400, 0xCC)};
    for (std::uint32_t i = 0; i < 3; ++i)
        text.put_word(format, pointer_offsets[i], image.image_base + rdata_rva + 0x40 * i);

    CraftedSection rdata{rdata_rva, 0, std::vector<std::uint8_t>(0x400, 0)};
    // Exports: directory, address table, name pointers, ordinals, then the names back to back.
    rdata.put32(12, rdata_rva + 0x90); // module name
    rdata.put32(16, 1);                // ordinal base
    rdata.put32(20, 3);
    rdata.put32(24, 3);
    rdata.put32(28, rdata_rva + 0x40);
    rdata.put32(32, rdata_rva + 0x50);
    rdata.put32(36, rdata_rva + 0x60);
    const char* names[] = {"Alpha", "Beta", "Gamma"};
    std::uint32_t name_at = 0x70;
    for (std::uint32_t k = 0; k < 3; ++k) {
        rdata.put32(0x40 + 4 * k, export_rvas[k]);
        rdata.put32(0x50 + 4 * k, rdata_rva + name_at);
        rdata.put16(0x60 + 2 * k, static_cast<std::uint16_t>(k));
        rdata.put_string(name_at, names[k]);
        name_at += static_cast<std::uint32_t>(std::string(names[k]).size() + 1);
    }
    rdata.put_string(0x90, "sample.dll");
    image.directories[pe::directory_export] = {export_directory, 0x100};

    // Imports: two descriptors and the terminating zero one; thunks hold hint/name RVAs or ordinals.
    const std::uint32_t imports = import_directory - rdata_rva;
    rdata.put32(imports + 12, rdata_rva + 0x300);
    rdata.put32(imports + 16, kernel32_iat);
    rdata.put32(imports + 20 + 12, rdata_rva + 0x310);
    rdata.put32(imports + 20 + 16, user32_iat);
    rdata.put_string(0x300, "kernel32.dll");
    rdata.put_string(0x310, "user32.dll");
    rdata.put_string(0x322, "GetTickCount"); // hint at 0x320
    rdata.put_string(0x342, "MessageBoxA");  // hint at 0x340
    const std::uint32_t k32 = kernel32_iat - rdata_rva;
    rdata.put_word(format, k32, rdata_rva + 0x320);
    rdata.put_word(format, k32 + pe::thunk_size(format), pe::ordinal_flag(format) | 5);
    rdata.put_word(format, user32_iat - rdata_rva, rdata_rva + 0x340);
    image.directories[pe::directory_import] = {import_directory, 60};

    // One relocation block for .text's page: the three pointers and an ABSOLUTE pad entry.
    CraftedSection reloc{reloc_rva, 0, {}};
    const std::uint16_t type = format == PeFormat::pe32 ? pe::rel_based_highlow : pe::rel_based_dir64;
    reloc.put32(0, text_rva);
    reloc.put32(4, 16);
    for (std::uint32_t i = 0; i < 3; ++i)
        reloc.put16(8 + 2 * i, static_cast<std::uint16_t>(type << 12 | pointer_offsets[i]));
    reloc.put16(14, 0);
    reloc.bytes.resize(0x20, 0); // zero bytes after the directory, as a linker leaves them
    image.directories[pe::directory_base_relocation] = {reloc_rva, 16};

    image.sections = {text, rdata, reloc};
    return image;
}

CraftedImage recording_entry_image(PeFormat format, std::uint64_t image_base, std::uintptr_t log_address,
                                   std::uint32_t result)
{
    CraftedImage image;
    image.format = format;
    image.image_base = image_base;
    image.entry = 0x1000;
    CraftedSection text{0x1000, 0, {}};
    std::vector<std::uint8_t>& code = text.bytes;
    auto put32 = [&code](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            code.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    if (format == PeFormat::pe32_plus) {
        code = {0x48, 0xB8}; // mov rax, log
        put32(static_cast<std::uint32_t>(log_address));
        put32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(log_address) >> 32));
        code.insert(code.end(), {0x8B, 0x08,             // mov ecx, [rax]
                                 0x89, 0x54, 0x88, 0x04, // mov [rax+rcx*4+4], edx (reason)
                                 0xFF, 0x00,             // inc dword [rax]
                                 0xB8});                 // mov eax, result
        put32(result);
        code.push_back(0xC3); // ret
    } else {
        code = {0xB8}; // mov eax, log
        put32(static_cast<std::uint32_t>(log_address));
        code.insert(code.end(), {0x8B, 0x08,             // mov ecx, [eax]
                                 0x8B, 0x54, 0x24, 0x08, // mov edx, [esp+8] (reason)
                                 0x89, 0x54, 0x88, 0x04, // mov [eax+ecx*4+4], edx
                                 0xFF, 0x00,             // inc dword [eax]
                                 0xB8});                 // mov eax, result
        put32(result);
        code.insert(code.end(), {0xC2, 0x0C, 0x00}); // ret 12
    }
    CraftedSection reloc{0x2000, 0, {}};
    reloc.put32(0, 0x1000);
    reloc.put32(4, 12);
    reloc.put16(8, 0);
    reloc.put16(10, 0);
    image.directories[pe::directory_base_relocation] = {0x2000, 12};
    image.sections = {text, reloc};
    return image;
}
