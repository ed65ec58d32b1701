#pragma once
// InMemoryLibrary maps a DLL whose file image is held in memory: header checks, one block, sections,
// base relocations, import binding, the entry point, and export look-up by name. Everything here is
// computation over the image and the block; the block itself, module look-ups and the entry-point call
// come from a LoaderPlatform, so the same code maps into a plain buffer in tests.

#include "skin/pe_format.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

using Address = std::uintptr_t;
using ModuleHandle = std::uintptr_t;

// A reserved block: `bytes` is where this process reads and writes it, `address` is where the mapped
// image believes it lives. On Windows both are the same; a test may place a buffer at any address.
struct MappedBlock {
    std::uint8_t* bytes = nullptr;
    Address address = 0;
    std::size_t size = 0;
};

class LoaderPlatform {
  public:
    // A zero-filled block of `size` bytes at `address`, or anywhere for address 0; bytes null on failure.
    virtual MappedBlock reserve(Address address, std::size_t size) = 0;
    virtual void release(const MappedBlock& block) = 0;
    // A module already in the process, without loading it; 0 when absent.
    virtual ModuleHandle find_module(const char* name) = 0;
    virtual ModuleHandle load_module(const char* name) = 0;
    virtual Address find_symbol(ModuleHandle module, const char* name) = 0;
    virtual Address find_ordinal(ModuleHandle module, std::uint16_t ordinal) = 0;
    // Calls the entry point with module handle 0, `reason` and reserved 0; the low 32 bits of its result.
    virtual std::uint32_t call_entry(Address entry, std::uint32_t reason) = 0;

  protected:
    ~LoaderPlatform() = default;
};

class InMemoryLibrary {
  public:
    constexpr InMemoryLibrary(LoaderPlatform& platform, PeFormat format)
        : platform_(platform), format_(format)
    {
    }
    // Destroying the object leaves a mapped image in place: the program keeps its library until the
    // process ends, and its entry point must not see DLL_PROCESS_DETACH then.
    ~InMemoryLibrary() = default;
    // One object owns one block; two owners of it would release it twice.
    InMemoryLibrary(const InMemoryLibrary&) = delete;
    InMemoryLibrary& operator=(const InMemoryLibrary&) = delete;

    bool load(std::span<const std::uint8_t> image);
    void unload();
    // Address of the named export, matched byte for byte; 0 when absent or nothing is loaded.
    Address find_export(const char* name) const;
    Address entry_point() const;
    Address image_base() const { return base_; }

    // The steps of `load`, public so that each can be examined on its own.
    bool parse_headers(const std::uint8_t* image, std::size_t length);
    std::uint32_t image_size() const;
    static std::uint64_t align_up(std::uint64_t value, std::uint64_t alignment);
    bool map_sections(const MappedBlock& block, const std::uint8_t* image, std::size_t length) const;
    bool apply_relocations(const MappedBlock& block) const;
    bool resolve_imports(const MappedBlock& block) const;

    const ImageDosHeader& dos_header() const { return dos_header_; }
    const ImageNtHeaders& nt_headers() const { return nt_headers_; }
    const std::vector<ImageSectionHeader>& sections() const { return sections_; }

  private:
    bool is_dll() const { return (nt_headers_.file_header.characteristics & pe::file_dll) != 0; }
    bool runs_entry() const { return is_dll() && nt_headers_.optional_header.address_of_entry_point != 0; }

    LoaderPlatform& platform_;
    PeFormat format_;
    Address base_ = 0;
    std::uint8_t* block_bytes_ = nullptr;
    std::size_t block_size_ = 0;
    ImageDosHeader dos_header_{};
    ImageNtHeaders nt_headers_{};
    std::vector<ImageSectionHeader> sections_;
};
