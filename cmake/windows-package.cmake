# SPDX-License-Identifier: MIT
# The Windows installer: `cpack` in build/windows makes Quill-<version>-win64.exe
# (NSIS). It installs into one folder (Program Files\Quill by default)
# quill.exe and quill-cli.exe, the DLLs they need (Qt's, libpq, libmosquitto,
# MinGW's runtime: cmake/windows-dlls.cmake finds them), the Qt plugins the
# programs load at run time in the folders where Qt looks for them beside the
# program, and the licence; a Start menu entry for the window and an
# uninstaller. Nothing is put on PATH.
install(TARGETS quill quill-cli RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# Loaded by Qt, not imported, so nothing finds them but this list: the window's
# platform and style, and the history's two databases. Qt Network needs no TLS
# backend: nothing here speaks TLS (README, "What this build lacks").
set(QUILL_QT_PLUGINS Qt6::QWindowsIntegrationPlugin Qt6::QWindowsVistaStylePlugin
    Qt6::QSQLiteDriverPlugin Qt6::QPSQLDriverPlugin)
foreach(plugin IN LISTS QUILL_QT_PLUGINS)
    if(NOT TARGET ${plugin})
        message(FATAL_ERROR "The Qt in ${QUILL_WINDOWS_QT} has no ${plugin}: the installed "
                            "programs need it. Use a Qt for MinGW built with it.")
    endif()
    get_target_property(type ${plugin} QT_PLUGIN_TYPE)
    install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${type})
endforeach()

# Where the imported DLLs come from: Qt's bin folder (with libpq and
# libmosquitto beside Qt) and the runtime of the compiler that built the
# programs. What MinGW-w64 has an import library for is Windows' own.
function(quill_mingw_folder name variable)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not find ${name}: install MinGW-w64 "
                            "(scripts/deps.sh).")
    endif()
    get_filename_component(folder "${path}" DIRECTORY)
    get_filename_component(folder "${folder}" REALPATH)
    set(${variable} ${folder} PARENT_SCOPE)
endfunction()
quill_mingw_folder(libstdc++-6.dll QUILL_MINGW_RUNTIME)
quill_mingw_folder(libwinpthread-1.dll QUILL_MINGW_PTHREAD)
quill_mingw_folder(libkernel32.a QUILL_SYSTEM_IMPLIBS)
install(CODE "
    set(QUILL_DLL_FOLDERS \"$<TARGET_FILE_DIR:Qt6::Core>;${QUILL_MINGW_RUNTIME};${QUILL_MINGW_PTHREAD}\")
    set(QUILL_SYSTEM_IMPLIBS \"${QUILL_SYSTEM_IMPLIBS}\")
    set(QUILL_OBJDUMP \"${CMAKE_OBJDUMP}\")
    include(\"${CMAKE_CURRENT_LIST_DIR}/windows-dlls.cmake\")
")

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Quill)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quill developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME Quill-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quill)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer for 64-bit programs: it runs where Windows has no 32-bit
# layer (a Wine without wine32), and what it writes to the registry is in
# the programs' own view.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_PACKAGE_NAME Quill)
set(CPACK_NSIS_DISPLAY_NAME Quill)
set(CPACK_NSIS_INSTALLED_ICON_NAME quill.exe)
# The programs' icon (cmake/windows-resources.cmake) on the installer and the
# uninstaller; the Start menu entry takes quill.exe's.
set(CPACK_NSIS_MUI_ICON ${QUILL_WINDOWS_ICON})
set(CPACK_NSIS_MUI_UNIICON ${QUILL_WINDOWS_ICON})
# The Start menu entry: the window. quill-cli is run from a console.
set(CPACK_PACKAGE_EXECUTABLES quill Quill)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
include(CPack)
