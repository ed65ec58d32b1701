// The built uiskin.dll of both Windows builds meets what the loader relies on, and maps exactly.
#include "skin/in_memory_library.h"
#include "tests/skin/fake_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {

struct Build {
    const char* name;
    const char* path;
    PeFormat format;
};

const Build builds[] = {
    {"x86", UISKIN_X86_PATH, PeFormat::pe32},
    {"x64", UISKIN_X64_PATH, PeFormat::pe32_plus},
};

class UiskinImage : public ::testing::TestWithParam<Build> {
  protected:
    void SetUp() override
    {
        std::ifstream in(GetParam().path, std::ios::binary);
        ASSERT_TRUE(in) << "missing " << GetParam().path << ": build the " << GetParam().name
                        << " preset first (cmake --preset " << GetParam().name << " && cmake --build build/"
                        << GetParam().name << ")";
        file.assign(std::istreambuf_iterator<char>(in), {});
        add_system_modules(platform);
    }
    static void add_system_modules(FakePlatform& p)
    {
        for (const char* system : {"KERNEL32.dll", "USER32.dll", "GDI32.dll"})
            p.present[system] = 0x7000 + p.present.size();
    }
    // A string in the mapped block.
    std::string text(const std::vector<std::uint8_t>& block, std::uint32_t rva) const
    {
        return reinterpret_cast<const char*>(block.data() + rva);
    }

    std::vector<std::uint8_t> file;
    FakePlatform platform;
};

INSTANTIATE_TEST_SUITE_P(Builds, UiskinImage, ::testing::ValuesIn(builds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(UiskinImage, HeadersAndLayoutAreWhatTheLoaderExpects)
{
    InMemoryLibrary library(platform, GetParam().format);
    ASSERT_TRUE(library.parse_headers(file.data(), file.size()));
    const ImageNtHeaders& nt = library.nt_headers();
    EXPECT_TRUE(nt.file_header.characteristics & pe::file_executable_image);
    EXPECT_TRUE(nt.file_header.characteristics & pe::file_dll);
    EXPECT_FALSE(nt.file_header.characteristics & pe::file_relocs_stripped);
    EXPECT_EQ(nt.optional_header.data_directory[pe::directory_tls].virtual_address, 0u) << "no TLS directory";
    EXPECT_GT(nt.optional_header.data_directory[pe::directory_base_relocation].size, 0u);
    EXPECT_NE(nt.optional_header.address_of_entry_point, 0u);
    const ImageSectionHeader& last = library.sections().back();
    EXPECT_EQ(std::uint64_t{last.pointer_to_raw_data} + last.size_of_raw_data, file.size());
    for (const ImageSectionHeader& s : library.sections())
        EXPECT_EQ(s.virtual_size & 0xFFFF, s.virtual_size) << "16-bit VirtualSize gives the same size";
}

TEST_P(UiskinImage, ImportsOnlySystemModulesByNameUnbound)
{
    InMemoryLibrary library(platform, GetParam().format);
    ASSERT_TRUE(library.load(file));
    // The block at the preferred address, read before binding would be ideal; reparse the file's
    // import table from a second, unbound copy instead: the descriptors are the same bytes.
    std::vector<std::uint8_t> block = platform.last_block();
    const ImageDataDirectory dir = library.nt_headers().optional_header.data_directory[pe::directory_import];
    ASSERT_NE(dir.virtual_address, 0u);
    FakePlatform unbound_platform;
    unbound_platform.present.clear();
    InMemoryLibrary unbound(unbound_platform, GetParam().format);
    EXPECT_FALSE(unbound.load(file)) << "no module resolves here";
    const std::vector<std::uint8_t>& raw = unbound_platform.last_block(); // mapped, imports not yet bound
    const std::set<std::string> system_modules{"KERNEL32.dll", "USER32.dll", "GDI32.dll"};
    const std::size_t thunk = pe::thunk_size(GetParam().format);
    int modules = 0;
    for (std::uint32_t d = dir.virtual_address;; d += pe::import_descriptor_size) {
        const std::uint32_t lookup = pe::read32(raw.data() + d);
        const std::uint32_t stamp = pe::read32(raw.data() + d + 4);
        const std::uint32_t first_thunk = pe::read32(raw.data() + d + 16);
        if (first_thunk == 0)
            break;
        ++modules;
        EXPECT_TRUE(system_modules.count(text(raw, pe::read32(raw.data() + d + 12))));
        EXPECT_EQ(stamp, 0u) << "unbound";
        for (std::uint32_t k = 0;; ++k) {
            const std::uint64_t entry = thunk == 4 ? pe::read32(raw.data() + first_thunk + 4 * k)
                                                   : pe::read64(raw.data() + first_thunk + 8 * k);
            const std::uint64_t original = thunk == 4 ? pe::read32(raw.data() + lookup + 4 * k)
                                                      : pe::read64(raw.data() + lookup + 8 * k);
            EXPECT_EQ(entry, original) << "the address table holds the unbound lookup entries";
            if (entry == 0)
                break;
            EXPECT_EQ(entry & pe::ordinal_flag(GetParam().format), 0u) << "imported by name";
        }
    }
    EXPECT_GE(modules, 2);
}

TEST_P(UiskinImage, ExportsAreSortedBackToBackAndMapKToK)
{
    InMemoryLibrary library(platform, GetParam().format);
    ASSERT_TRUE(library.load(file));
    const std::vector<std::uint8_t>& block = platform.last_block();
    const ImageDataDirectory dir = library.nt_headers().optional_header.data_directory[pe::directory_export];
    const std::uint8_t* d = block.data() + dir.virtual_address;
    EXPECT_EQ(text(block, pe::read32(d + 12)), "uiskin.dll");
    EXPECT_EQ(pe::read32(d + 16), 1u) << "ordinal base";
    const std::uint32_t count = pe::read32(d + 24);
    ASSERT_EQ(count, pe::read32(d + 20));
    std::vector<std::string> names;
    std::uint32_t expected_at = pe::read32(block.data() + pe::read32(d + 32));
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t at = pe::read32(block.data() + pe::read32(d + 32) + 4 * k);
        EXPECT_EQ(at, expected_at) << "names stored back to back";
        names.push_back(text(block, at));
        expected_at = at + static_cast<std::uint32_t>(names.back().size() + 1);
        EXPECT_EQ(pe::read16(block.data() + pe::read32(d + 36) + 2 * k), k)
            << "name-ordinal table maps k to k";
    }
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    for (const char* name : {"SkinAttach", "SkinDetach"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
        EXPECT_NE(library.find_export(name), 0u) << name;
    }
}

TEST_P(UiskinImage, RelocationMovesEveryPointerByExactlyTheDelta)
{
    FakePlatform moved_platform;
    add_system_modules(moved_platform);
    InMemoryLibrary at_home(platform, GetParam().format);
    ASSERT_TRUE(at_home.load(file));
    const std::uint64_t preferred = at_home.nt_headers().optional_header.image_base;
    ASSERT_EQ(at_home.image_base(), preferred);
    moved_platform.occupied = preferred;
    moved_platform.fallback = GetParam().format == PeFormat::pe32 ? 0x01230000 : 0x7FF612340000;
    InMemoryLibrary moved(moved_platform, GetParam().format);
    ASSERT_TRUE(moved.load(file));
    const std::uint64_t delta = moved_platform.fallback - preferred;

    std::vector<std::uint8_t> home = platform.last_block();
    std::vector<std::uint8_t> away = moved_platform.last_block();
    ASSERT_EQ(home.size(), away.size());
    // Bound imports differ by platform table only; blank both import address tables' effect by walking
    // the relocations and comparing the rest byte for byte.
    const ImageDataDirectory dir =
        at_home.nt_headers().optional_header.data_directory[pe::directory_base_relocation];
    const std::uint16_t expected_type =
        GetParam().format == PeFormat::pe32 ? pe::rel_based_highlow : pe::rel_based_dir64;
    const std::size_t width = GetParam().format == PeFormat::pe32 ? 4 : 8;
    int relocated = 0;
    for (std::uint32_t p = dir.virtual_address; p < dir.virtual_address + dir.size;) {
        const std::uint32_t page = pe::read32(home.data() + p);
        const std::uint32_t size = pe::read32(home.data() + p + 4);
        ASSERT_GE(size, 8u);
        for (std::uint32_t e = p + 8; e < p + size; e += 2) {
            const std::uint16_t entry = pe::read16(home.data() + e);
            if ((entry >> 12) == pe::rel_based_absolute)
                continue;
            ASSERT_EQ(entry >> 12, expected_type);
            const std::size_t at = page + (entry & 0xFFF);
            if (width == 4) {
                EXPECT_EQ(pe::read32(away.data() + at),
                          static_cast<std::uint32_t>(pe::read32(home.data() + at) + delta));
            } else {
                EXPECT_EQ(pe::read64(away.data() + at), pe::read64(home.data() + at) + delta);
            }
            std::fill_n(home.begin() + at, width, 0);
            std::fill_n(away.begin() + at, width, 0);
            ++relocated;
        }
        p += size;
    }
    EXPECT_GT(relocated, 0);
    EXPECT_TRUE(home == away) << "only relocated values differ";
}

} // namespace
