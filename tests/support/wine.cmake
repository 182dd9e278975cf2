# The Windows build of the core, its tests and the Windows parts: the whole source tree again,
# configured for MinGW, without Qt. Its programs run under Wine in one prefix per test run, one
# at a time, each test labelled "wine". Included by tests/CMakeLists.txt.
find_program(TUNELARK_MINGW_CXX x86_64-w64-mingw32-g++-posix)
find_program(TUNELARK_WINE NAMES wine64 wine HINTS /usr/lib/wine)
find_program(TUNELARK_WINESERVER NAMES wineserver64 wineserver HINTS /usr/lib/wine)
find_path(TUNELARK_GTEST_SOURCE src/gtest-all.cc HINTS /usr/src/googletest/googletest)

set(wine_ready ON)
if(NOT TUNELARK_MINGW_CXX OR NOT TUNELARK_WINE OR NOT TUNELARK_WINESERVER
   OR NOT TUNELARK_GTEST_SOURCE)
    message(STATUS "Wine tests left out: MinGW, Wine or GoogleTest's sources not found")
    set(wine_ready OFF)
elseif(TUNELARK_SANITIZE)
    # The Windows programs are the same with or without the sanitizers here.
    message(STATUS "Wine tests left out of the sanitizer build: the plain build runs them")
    set(wine_ready OFF)
endif()

if(NOT wine_ready)
    function(wine_test)
    endfunction()
    return()
endif()

include(ExternalProject)
set(windows_build ${CMAKE_BINARY_DIR}/mingw)
set(windows_bin ${windows_build}/bin)
ExternalProject_Add(windows_programs
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${windows_build}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
        -DCMAKE_BUILD_TYPE=Release
        -DGTEST_SOURCE_DIR=${TUNELARK_GTEST_SOURCE}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
)

set(wine_run ${CMAKE_CURRENT_LIST_DIR}/wine.sh ${TUNELARK_WINE} ${TUNELARK_WINESERVER}
    ${CMAKE_BINARY_DIR}/wine)

add_test(NAME wine_prefix COMMAND ${wine_run} setup)
set_tests_properties(wine_prefix PROPERTIES
    FIXTURES_SETUP wine_prefix RESOURCE_LOCK wine LABELS wine TIMEOUT 240)

# wine_test(<name> [SERVER <mode>[:<ms>]] [ENV <NAME>=<value>] [STAND_IN] [READONLY <folder>]
#           <program> [args...])
# Runs a MinGW-built program under Wine in a fresh folder of its own, optionally beside the
# test DDE server, with the stand-in media-player control in place of Wine's, or with a folder
# the test fills and then cannot write (see wine.sh). The tests take turns, since the prefix has
# one DDE name space.
function(wine_test name)
    cmake_parse_arguments(W "STAND_IN" "SERVER;ENV;READONLY" "" ${ARGN})
    set(options)
    if(W_SERVER)
        list(APPEND options server=${windows_bin}/dde_test_server.exe:${W_SERVER})
    endif()
    if(W_ENV)
        list(APPEND options env=${W_ENV})
    endif()
    if(W_STAND_IN)
        list(APPEND options control=${windows_bin}/wmp_stand_in.dll)
    endif()
    if(W_READONLY)
        list(APPEND options readonly=${W_READONLY})
    endif()
    list(POP_FRONT W_UNPARSED_ARGUMENTS program)
    add_test(NAME ${name}
        COMMAND ${wine_run} run ${name} ${options} ${windows_bin}/${program}.exe
                ${W_UNPARSED_ARGUMENTS})
    set_tests_properties(${name} PROPERTIES
        FIXTURES_REQUIRED wine_prefix RESOURCE_LOCK wine LABELS wine TIMEOUT 150)
endfunction()
