// The skin the updater attaches to its window: dark blue text on a pale background, a blue button and
// a green progress bar. Format: docs/skin-format.md.
#include "resources/skin/skin_resources.h"

extern const unsigned char SkinBlob[] = {
    'U',  'S',  'K',  'N', // signature
    1,    0,               // version 1
    7,    0,               // seven colours, red, green, blue, reserved:
    0x1A, 0x3C, 0x5E, 0,   // window text
    0xF4, 0xF8, 0xFB, 0,   // static background
    0x2B, 0x6C, 0xB0, 0,   // button face
    0xFF, 0xFF, 0xFF, 0,   // button text
    0x1E, 0x4E, 0x82, 0,   // button border
    0x3C, 0xB3, 0x71, 0,   // progress bar
    0xDD, 0xE6, 0xEE, 0,   // progress background
};
extern const std::size_t SkinBlob_size = sizeof(SkinBlob);
