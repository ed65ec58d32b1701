# embed_file(target INPUT file SYMBOL name): generates a C++ source that holds the file's bytes as
# `extern const unsigned char name[]` and `extern const std::size_t name_size`, regenerated whenever
# the file changes, and adds it to target.
function(embed_file target)
    cmake_parse_arguments(E "" "INPUT;SYMBOL;DEPENDS" "" ${ARGN})
    set(out "${CMAKE_CURRENT_BINARY_DIR}/embedded_${E_SYMBOL}.cpp")
    add_custom_command(
        OUTPUT "${out}"
        COMMAND ${CMAKE_COMMAND} -DINPUT=${E_INPUT} -DOUTPUT=${out} -DSYMBOL=${E_SYMBOL}
                -P "${CMAKE_SOURCE_DIR}/cmake/embed_bytes.cmake"
        DEPENDS "${E_INPUT}" ${E_DEPENDS} "${CMAKE_SOURCE_DIR}/cmake/embed_bytes.cmake"
        COMMENT "Embedding ${E_SYMBOL}"
        VERBATIM)
    target_sources(${target} PRIVATE "${out}")
endfunction()
