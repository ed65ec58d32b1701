# Test helpers. The native build runs GoogleTest directly; the Windows builds run their test programs
# through Wine, which CMAKE_CROSSCOMPILING_EMULATOR (set by the toolchain file) puts in front of them.
include(CTest)

if(WIN32)
    # GoogleTest from Debian's source package, built here with the cross compiler.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    set(UPDATER_GTEST GTest::gtest GTest::gtest_main)
else()
    find_package(GTest REQUIRED)
    set(UPDATER_GTEST GTest::gtest GTest::gtest_main)
endif()
include(GoogleTest)

# add_native_test(name SOURCES ... LIBS ...): a GoogleTest program of the native tier; each case is
# its own CTest test.
function(add_native_test name)
    if(WIN32 OR NOT BUILD_TESTING)
        return()
    endif()
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} ${UPDATER_GTEST})
    gtest_discover_tests(${name} TEST_PREFIX "native." DISCOVERY_TIMEOUT 30)
endfunction()

# add_windows_test(name SOURCES ... LIBS ... [TIER win64|win32] [TIMEOUT s] [ARGS ...]): a GoogleTest
# program of a Windows tier, run as one Wine process (process start is the expensive part under Wine).
# A test is built in the build whose bitness matches its tier.
function(add_windows_test name)
    if(NOT WIN32)
        return()
    endif()
    cmake_parse_arguments(T "" "TIER;TIMEOUT" "SOURCES;LIBS;ARGS" ${ARGN})
    if(NOT T_TIER)
        set(T_TIER win64)
    endif()
    if((T_TIER STREQUAL "win64" AND NOT UPDATER_ARCH STREQUAL "x64")
       OR (T_TIER STREQUAL "win32" AND NOT UPDATER_ARCH STREQUAL "x86"))
        return()
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} ${UPDATER_GTEST})
    add_test(NAME ${T_TIER}.${name} COMMAND ${name} ${T_ARGS})
    set_tests_properties(${T_TIER}.${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "UPDATER_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data")
endfunction()
