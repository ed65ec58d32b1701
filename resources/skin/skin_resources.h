#pragma once
// The two byte arrays the program carries for its skin: the skin library's file image (generated at
// build time from the built uiskin.dll) and one skin file.

#include <cstddef>

extern const unsigned char SkinLibraryImage[];
extern const std::size_t SkinLibraryImage_size;
extern const unsigned char SkinBlob[];
extern const std::size_t SkinBlob_size;
