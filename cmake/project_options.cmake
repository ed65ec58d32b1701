# Warnings and link options shared by every target of the three builds.
add_compile_options(-Wall -Wextra -Wno-missing-field-initializers)

if(WIN32)
    # Self-contained binaries: no libgcc, libstdc++ or winpthread DLLs beside them.
    add_link_options(-static -static-libgcc -static-libstdc++)
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
    # The updater ships beside every application that uses it: optimise for size, and let the linker drop
    # every function and datum nothing refers to.
    set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "" FORCE)
    set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "" FORCE)
    add_compile_options(-ffunction-sections -fdata-sections)
    # printf-style formatting by the system runtime, as the program's number texts are specified, rather
    # than mingw's own C99 implementation (some 60 KB).
    add_compile_definitions(__USE_MINGW_ANSI_STDIO=0)
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
