# Warnings and link options shared by every target of the three builds.
add_compile_options(-Wall -Wextra -Wno-missing-field-initializers)

if(WIN32)
    # Self-contained binaries: no libgcc, libstdc++ or winpthread DLLs beside them.
    add_link_options(-static -static-libgcc -static-libstdc++)
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()

option(UPDATER_SANITIZE "Build the native tier with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(UPDATER_SANITIZE AND NOT WIN32)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

option(UPDATER_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(UPDATER_FUZZ)
    # Coverage instrumentation for every library the fuzz targets link.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
