# SPDX-License-Identifier: MIT
# The Windows build (preset "windows"): MinGW-w64 and a Qt built for it.
# QUILL_WINDOWS_QT (a cache or an environment variable) names the unpacked Qt
# folder, the one holding bin/, lib/cmake/Qt6 and mosquitto/. Without it, the
# Qt archive in ../shared/windows is unpacked into the build folder once.
set(QUILL_WINDOWS_QT_ARCHIVE
    "${CMAKE_CURRENT_LIST_DIR}/../../shared/windows/qt-mingw-6.4.2-x86_64-w64-mingw32.tar.xz"
    CACHE FILEPATH "The Qt for MinGW archive unpacked when QUILL_WINDOWS_QT is not given")
if(NOT QUILL_WINDOWS_QT)
    if(DEFINED ENV{QUILL_WINDOWS_QT} AND NOT "$ENV{QUILL_WINDOWS_QT}" STREQUAL "")
        set(QUILL_WINDOWS_QT "$ENV{QUILL_WINDOWS_QT}")
    else()
        set(QUILL_WINDOWS_QT "${CMAKE_BINARY_DIR}/qt-mingw")
        if(NOT EXISTS "${QUILL_WINDOWS_QT}/lib/cmake/Qt6/qt.toolchain.cmake")
            if(NOT EXISTS "${QUILL_WINDOWS_QT_ARCHIVE}")
                message(FATAL_ERROR "No Qt for MinGW: set QUILL_WINDOWS_QT to an unpacked one, "
                                    "or QUILL_WINDOWS_QT_ARCHIVE to its archive.")
            endif()
            message(STATUS "Unpacking ${QUILL_WINDOWS_QT_ARCHIVE}")
            execute_process(COMMAND tar -xJf "${QUILL_WINDOWS_QT_ARCHIVE}" -C "${CMAKE_BINARY_DIR}"
                            RESULT_VARIABLE unpacked)
            if(NOT unpacked EQUAL 0)
                message(FATAL_ERROR "Could not unpack ${QUILL_WINDOWS_QT_ARCHIVE}")
            endif()
        endif()
    endif()
    set(QUILL_WINDOWS_QT "${QUILL_WINDOWS_QT}" CACHE PATH "The Qt for MinGW the Windows build uses")
endif()
# try_compile projects read this file again, with the folder already known.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILL_WINDOWS_QT)

set(QT_CHAINLOAD_TOOLCHAIN_FILE "${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake")
include("${QUILL_WINDOWS_QT}/lib/cmake/Qt6/qt.toolchain.cmake")
