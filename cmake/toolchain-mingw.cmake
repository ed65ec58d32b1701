# Shared by the two mingw-w64 toolchain files, which set TRIPLE, CMAKE_SYSTEM_PROCESSOR and WINE_ARCH.
set(CMAKE_SYSTEM_NAME Windows)
# The -posix compilers: std::thread and std::mutex for tests, winpthread linked statically.
set(CMAKE_C_COMPILER ${TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# CTest runs the test programs under Wine of the matching bitness.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run;${WINE_ARCH}")
