// The loader core on crafted images of both formats, mapped into plain buffers.
#include "skin/in_memory_library.h"
#include "tests/skin/crafted_image.h"
#include "tests/skin/fake_platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

std::uint64_t read_word(PeFormat format, const std::uint8_t* p)
{
    return format == PeFormat::pe32 ? pe::read32(p) : pe::read64(p);
}

class LoaderTest : public ::testing::TestWithParam<PeFormat> {
  protected:
    PeFormat format() const { return GetParam(); }
    CraftedImage sample() const { return SampleDll::make(format()); }
    bool load(const CraftedImage& image)
    {
        file = image.build();
        return library.load(file);
    }
    const std::uint8_t* mapped(std::uint32_t rva) const { return platform.last_block().data() + rva; }

    FakePlatform platform;
    InMemoryLibrary library{platform, GetParam()};
    std::vector<std::uint8_t> file;
};

INSTANTIATE_TEST_SUITE_P(Formats, LoaderTest, ::testing::Values(PeFormat::pe32, PeFormat::pe32_plus),
                         [](const auto& info) {
                             return info.param == PeFormat::pe32 ? "pe32" : "pe32_plus";
                         });

TEST_P(LoaderTest, MapsAtThePreferredAddressWithValuesAsInTheFile)
{
    const CraftedImage image = sample();
    ASSERT_TRUE(load(image));
    EXPECT_EQ(library.image_base(), image.image_base);
    EXPECT_EQ(library.entry_point(), image.image_base + image.entry);
    for (std::uint32_t offset : SampleDll::pointer_offsets)
        EXPECT_EQ(read_word(format(), mapped(SampleDll::text_rva + offset)),
                  read_word(format(), image.sections[0].bytes.data() + offset));
    // Headers and the section table are copied; the tail of .text beyond its raw data stays zero.
    EXPECT_EQ(0, std::memcmp(mapped(0), file.data(), 0x200));
    EXPECT_EQ(*mapped(SampleDll::text_rva + 0x400), 0);
    ASSERT_EQ(platform.entry_calls.size(), 1u);
    EXPECT_EQ(platform.entry_calls[0], std::make_pair(library.entry_point(), pe::dll_process_attach));
}

TEST_P(LoaderTest, RelocatesEveryPointerByExactlyTheDistanceMoved)
{
    CraftedImage image = sample();
    platform.occupied = image.image_base;
    ASSERT_TRUE(load(image));
    ASSERT_EQ(library.image_base(), platform.fallback);
    const std::uint64_t delta = platform.fallback - image.image_base;
    for (std::uint32_t offset : SampleDll::pointer_offsets) {
        const std::uint64_t original = read_word(format(), image.sections[0].bytes.data() + offset);
        const std::uint64_t expected =
            format() == PeFormat::pe32 ? static_cast<std::uint32_t>(original + delta) : original + delta;
        EXPECT_EQ(read_word(format(), mapped(SampleDll::text_rva + offset)), expected);
    }
    // Bytes no relocation names stay as they were.
    EXPECT_EQ(*mapped(SampleDll::text_rva + 0x40), 0xCC);
}

TEST_P(LoaderTest, BindsImportsByNameAndOrdinalWithoutReloadingPresentModules)
{
    ASSERT_TRUE(load(sample()));
    const std::size_t thunk = pe::thunk_size(format());
    EXPECT_EQ(read_word(format(), mapped(SampleDll::kernel32_iat)),
              FakePlatform::symbol_address(0x7100, "GetTickCount"));
    EXPECT_EQ(read_word(format(), mapped(SampleDll::kernel32_iat + thunk)),
              FakePlatform::ordinal_address(0x7100, 5));
    EXPECT_EQ(read_word(format(), mapped(SampleDll::user32_iat)),
              FakePlatform::symbol_address(0x7200, "MessageBoxA"));
    EXPECT_EQ(platform.loaded, std::vector<std::string>{"user32.dll"});
}

TEST_P(LoaderTest, UnresolvableImportsFailAndReleaseTheBlock)
{
    const std::function<void(FakePlatform&)> breakages[] = {
        [](FakePlatform& p) { p.loadable.clear(); },
        [](FakePlatform& p) { p.missing_symbols = {"MessageBoxA"}; },
    };
    for (const auto& breakage : breakages) {
        FakePlatform p;
        breakage(p);
        InMemoryLibrary lib(p, format());
        const std::vector<std::uint8_t> bytes = sample().build();
        EXPECT_FALSE(lib.load(bytes));
        EXPECT_EQ(p.reserved, 1);
        EXPECT_EQ(p.released, 1);
        EXPECT_TRUE(p.entry_calls.empty());
        EXPECT_EQ(lib.image_base(), 0u);
    }
}

TEST_P(LoaderTest, EntryPointRefusingStartIsCalledAgainToDetach)
{
    platform.entry_result = 0;
    EXPECT_FALSE(load(sample()));
    const Address entry = sample().image_base + sample().entry;
    ASSERT_EQ(platform.entry_calls.size(), 2u);
    EXPECT_EQ(platform.entry_calls[0], std::make_pair(entry, pe::dll_process_attach));
    EXPECT_EQ(platform.entry_calls[1], std::make_pair(entry, pe::dll_process_detach));
    EXPECT_EQ(platform.released, 1);
    EXPECT_EQ(library.find_export("Alpha"), 0u);
}

TEST_P(LoaderTest, NoCodeRunsForAnExecutableOrADllWithoutEntryPoint)
{
    CraftedImage executable = sample();
    executable.characteristics = pe::file_executable_image;
    EXPECT_TRUE(load(executable));
    FakePlatform p2;
    InMemoryLibrary no_entry(p2, format());
    CraftedImage dll = sample();
    dll.entry = 0;
    const std::vector<std::uint8_t> bytes = dll.build();
    EXPECT_TRUE(no_entry.load(bytes));
    EXPECT_TRUE(platform.entry_calls.empty());
    EXPECT_TRUE(p2.entry_calls.empty());
}

TEST_P(LoaderTest, FindsExportsByExactName)
{
    EXPECT_EQ(library.find_export("Alpha"), 0u) << "nothing loaded yet";
    ASSERT_TRUE(load(sample()));
    const Address base = library.image_base();
    EXPECT_EQ(library.find_export("Alpha"), base + SampleDll::export_rvas[0]);
    EXPECT_EQ(library.find_export("Beta"), base + SampleDll::export_rvas[1]);
    EXPECT_EQ(library.find_export("Gamma"), base + SampleDll::export_rvas[2]);
    for (const char* absent : {"alpha", "GAMMA", "Gam", "Gammas", "", "Delta"})
        EXPECT_EQ(library.find_export(absent), 0u) << absent;
}

TEST_P(LoaderTest, RefusesDamagedExportTables)
{
    struct Case {
        const char* what;
        std::function<void(CraftedSection&)> damage;
    };
    const Case cases[] = {
        {"more names than functions", [](CraftedSection& r) { r.put32(24, 4); }},
        {"address table beyond the block", [](CraftedSection& r) { r.put32(28, 0x7FFFFFF0); }},
        {"name table beyond the block", [](CraftedSection& r) { r.put32(32, 0xFFFFFFFE); }},
        {"names running off the block", [](CraftedSection& r) { r.put32(0x50, 0x3FFF); }},
        {"forwarder", [](CraftedSection& r) { r.put32(0x48, SampleDll::rdata_rva + 0x80); }},
        {"function beyond the block", [](CraftedSection& r) { r.put32(0x48, 0x00F00000); }},
    };
    for (const Case& c : cases) {
        FakePlatform p;
        InMemoryLibrary lib(p, format());
        CraftedImage image = sample();
        c.damage(image.sections[1]);
        const std::vector<std::uint8_t> bytes = image.build();
        ASSERT_TRUE(lib.load(bytes)) << c.what;
        EXPECT_EQ(lib.find_export("Gamma"), 0u) << c.what;
    }
}

TEST_P(LoaderTest, SecondLoadIsRefusedAndUnloadDetachesOnce)
{
    ASSERT_TRUE(load(sample()));
    const Address base = library.image_base();
    EXPECT_FALSE(library.load(file));
    EXPECT_EQ(library.image_base(), base);
    EXPECT_EQ(platform.reserved, 1);
    library.unload();
    EXPECT_EQ(library.image_base(), 0u);
    EXPECT_EQ(library.entry_point(), 0u);
    EXPECT_EQ(platform.released, 1);
    ASSERT_EQ(platform.entry_calls.size(), 2u);
    EXPECT_EQ(platform.entry_calls[1].second, pe::dll_process_detach);
    library.unload();
    EXPECT_EQ(platform.released, 1);
    EXPECT_EQ(platform.entry_calls.size(), 2u);
}

TEST_P(LoaderTest, SectionAtAddressZeroEndsTheCopying)
{
    CraftedImage image = sample();
    image.sections[1].virtual_address = 0;
    image.directories[pe::directory_import] = {};
    image.directories[pe::directory_export] = {};
    ASSERT_TRUE(load(image));
    EXPECT_EQ(*mapped(SampleDll::text_rva), 0xCC);
    EXPECT_EQ(pe::read32(mapped(SampleDll::reloc_rva)), 0u) << ".reloc comes after the stop";
}

TEST_P(LoaderTest, RefusesBadHeadersWithoutReservingAnything)
{
    const std::size_t nt = 0x40;
    const std::size_t section_table = nt + pe::nt_headers_size(format());
    using Bytes = std::vector<std::uint8_t>;
    struct Case {
        const char* what;
        std::function<void(CraftedImage&)> image_damage;
        std::function<void(Bytes&)> byte_damage;
    };
    const Case cases[] = {
        {"empty", nullptr, [](Bytes& f) { f.clear(); }},
        {"63 bytes", nullptr, [](Bytes& f) { f.resize(63); }},
        {"no MZ", nullptr, [](Bytes& f) { f[0] = 'X'; }},
        {"negative e_lfanew", nullptr, [](Bytes& f) { pe::write32(&f[60], 0xFFFFFF00); }},
        {"e_lfanew past the end", nullptr, [](Bytes& f) { pe::write32(&f[60], 0x7FFFFFF0); }},
        {"truncated NT headers", nullptr, [](Bytes& f) { f.resize(0x40 + 100); }},
        {"no PE signature", nullptr, [nt](Bytes& f) { f[nt] = 'Q'; }},
        {"not executable", [](CraftedImage& i) { i.characteristics = pe::file_dll; }, nullptr},
        {"other optional header size", nullptr, [nt](Bytes& f) { f[nt + 4 + 16] ^= 0x10; }},
        {"foreign machine", [](CraftedImage& i) { i.machine = 0x1C0; }, nullptr},
        {"negative section count", [](CraftedImage& i) { i.section_count_override = 0x8001; }, nullptr},
        {"section table past the end", [](CraftedImage& i) { i.section_count_override = 0x7FFF; }, nullptr},
        {"raw data past the end", nullptr, [](Bytes& f) { f.resize(f.size() - 1); }},
        {"section alignment 0", [](CraftedImage& i) { i.section_alignment = 0; }, nullptr},
        {"image over 4 GiB", [](CraftedImage& i) { i.sections[2].virtual_address = 0xFFFFF000; }, nullptr},
        // PointerToRawData + SizeOfRawData wraps around 32 bits and would pass a 32-bit check.
        {"raw data offset wrapping", nullptr,
         [section_table](Bytes& f) { pe::write32(&f[section_table + 20], 0xFFFFFF00); }},
    };
    for (const Case& c : cases) {
        FakePlatform p;
        InMemoryLibrary lib(p, format());
        CraftedImage image = sample();
        if (c.image_damage)
            c.image_damage(image);
        Bytes bytes = image.build();
        if (c.byte_damage)
            c.byte_damage(bytes);
        EXPECT_FALSE(lib.load(bytes)) << c.what;
        EXPECT_EQ(p.reserved, 0) << c.what;
        EXPECT_EQ(lib.image_base(), 0u) << c.what;
    }
}

TEST_P(LoaderTest, RefusesTheOtherBuildsFormat)
{
    const PeFormat other = format() == PeFormat::pe32 ? PeFormat::pe32_plus : PeFormat::pe32;
    const std::vector<std::uint8_t> bytes = SampleDll::make(other).build();
    EXPECT_FALSE(library.load(bytes));
    EXPECT_EQ(platform.reserved, 0);
}

TEST_P(LoaderTest, RefusesDamagedRelocationsAndReleasesTheBlock)
{
    struct Case {
        const char* what;
        std::function<void(CraftedImage&)> damage;
    };
    const Case cases[] = {
        {"SizeOfBlock below 8", [](CraftedImage& i) { i.sections[2].put32(4, 6); }},
        {"block past the directory", [](CraftedImage& i) { i.sections[2].put32(4, 24); }},
        {"directory past the block",
         [](CraftedImage& i) {
             i.directories[5] = {SampleDll::reloc_rva, 0x100000};
         }},
        {"target past the block", [](CraftedImage& i) { i.sections[2].put32(0, 0x3FFF000); }},
        {"moved but no relocations", [](CraftedImage& i) { i.directories[5] = {}; }},
    };
    for (const Case& c : cases) {
        FakePlatform p;
        CraftedImage image = sample();
        p.occupied = image.image_base;
        InMemoryLibrary lib(p, format());
        c.damage(image);
        const std::vector<std::uint8_t> bytes = image.build();
        EXPECT_FALSE(lib.load(bytes)) << c.what;
        EXPECT_EQ(p.released, p.reserved) << c.what;
        EXPECT_TRUE(p.entry_calls.empty()) << c.what;
    }
}

TEST_P(LoaderTest, RelocationWalkStopsAtTheDirectorysEnd)
{
    // A second, valid-looking block right after the directory must not be applied.
    CraftedImage image = sample();
    const std::uint16_t type = format() == PeFormat::pe32 ? pe::rel_based_highlow : pe::rel_based_dir64;
    image.sections[2].put32(16, SampleDll::text_rva);
    image.sections[2].put32(20, 10);
    image.sections[2].put16(24, static_cast<std::uint16_t>(type << 12 | 0x40));
    platform.occupied = image.image_base;
    ASSERT_TRUE(load(image));
    EXPECT_EQ(*mapped(SampleDll::text_rva + 0x40), 0xCC);
}

TEST_P(LoaderTest, ImportTablesReachingOutsideTheBlockAreRefused)
{
    const std::function<void(CraftedImage&)> damages[] = {
        [](CraftedImage& i) { i.sections[1].put32(0x100 + 12, 0x00FFFFFF); }, // module name
        [](CraftedImage& i) { i.sections[1].put32(0x100 + 16, 0x7FFFFFFC); }, // thunk array
        [](CraftedImage& i) { i.sections[1].put32(0x200, 0x3FFFFFFF); },      // hint/name
        [](CraftedImage& i) {
            i.directories[1] = {0x3FF0, 20};
        }, // descriptors run off
    };
    for (const auto& damage : damages) {
        FakePlatform p;
        InMemoryLibrary lib(p, format());
        CraftedImage image = sample();
        damage(image);
        const std::vector<std::uint8_t> bytes = image.build();
        EXPECT_FALSE(lib.load(bytes));
        EXPECT_EQ(p.released, p.reserved);
    }
}

TEST(ImageSize, AlignsUpAndUsesTheWholeVirtualSize)
{
    EXPECT_EQ(InMemoryLibrary::align_up(0x2FE4, 0x1000), 0x3000u);
    EXPECT_EQ(InMemoryLibrary::align_up(0x3000, 0x1000), 0x3000u);
    EXPECT_EQ(InMemoryLibrary::align_up(0, 0x1000), 0u);

    FakePlatform platform;
    InMemoryLibrary library(platform, PeFormat::pe32);
    CraftedImage image = SampleDll::make(PeFormat::pe32);
    image.sections[2].virtual_size = 0x12345; // more than 16 bits
    const std::vector<std::uint8_t> bytes = image.build();
    ASSERT_TRUE(library.parse_headers(bytes.data(), bytes.size()));
    EXPECT_EQ(library.image_size(), 0x3000u + 0x13000u);
}

} // namespace
