# SPDX-License-Identifier: MIT
# What the Windows build takes from elsewhere than the Linux one: GoogleTest
# built from Debian's sources for MinGW, CLI11's headers alone (its CMake
# package would put /usr/include, with glibc's headers, on the path),
# libmosquitto from the Qt folder, and Wine to run what it builds.
set(QUILL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (libgtest-dev)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${QUILL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# googletest's own CMake names them GTest::gtest and GTest::gtest_main.

find_path(QUILL_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
          REQUIRED)
file(COPY ${QUILL_CLI11_INCLUDE}/CLI DESTINATION ${CMAKE_BINARY_DIR}/cli11)
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/cli11)
set(CLI11_FOUND TRUE)

add_library(quill_mosquitto_win SHARED IMPORTED)
set_target_properties(quill_mosquitto_win PROPERTIES
    IMPORTED_IMPLIB ${QUILL_WINDOWS_QT}/mosquitto/lib/libmosquitto.dll.a
    IMPORTED_LOCATION ${QUILL_WINDOWS_QT}/bin/libmosquitto.dll
    INTERFACE_INCLUDE_DIRECTORIES ${QUILL_WINDOWS_QT}/mosquitto/include)

# Programs and tests run under Wine, in a prefix of the build folder's own.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        /usr/bin/env QUILL_WINDOWS_QT=${QUILL_WINDOWS_QT} WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
        ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
endif()

# The POSIX file calls of the portable sources (src/platform/posix_win.h).
# MinGW's localtime_r and gmtime_r come with _POSIX_THREAD_SAFE_FUNCTIONS.
add_compile_options(-include ${PROJECT_SOURCE_DIR}/src/platform/posix_win.h)
include_directories(SYSTEM ${PROJECT_SOURCE_DIR}/src/platform/win)
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)
