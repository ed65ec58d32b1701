# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P embed_bytes.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n\n"
    "extern const unsigned char ${SYMBOL}[] = {\n    ${bytes}\n};\n"
    "extern const std::size_t ${SYMBOL}_size = ${size};\n")
