# SPDX-License-Identifier: MIT
# Run at install time (cmake --install, cpack): puts beside the installed
# programs every DLL that they and the installed Qt plugins import, and the
# DLLs those import in turn, so that the folder runs with nothing on PATH.
# A DLL is taken from the first of QUILL_DLL_FOLDERS that holds it (names
# compared without case, as Windows does). A DLL found there is not a
# DLL of Windows' own when MinGW-w64 has an import library for it
# (QUILL_SYSTEM_IMPLIBS) or it is an API set (api-ms-*, ext-ms-*); any
# other DLL found nowhere stops the installation, so that no installer is
# made that fails to start on the user's machine.
#   QUILL_DLL_FOLDERS    where the DLLs are looked for (Qt's bin, MinGW's runtime)
#   QUILL_SYSTEM_IMPLIBS MinGW-w64's import libraries (lib<name>.a)
#   QUILL_OBJDUMP        MinGW's objdump, which reads a PE file's imports
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

# Every DLL on offer, by its name in lower case.
set(offered "")
foreach(folder IN LISTS QUILL_DLL_FOLDERS)
    file(GLOB dlls LIST_DIRECTORIES false "${folder}/*.dll")
    foreach(dll IN LISTS dlls)
        get_filename_component(name "${dll}" NAME)
        string(TOLOWER "${name}" key)
        if(NOT DEFINED "offer_${key}")
            set("offer_${key}" "${dll}")
        endif()
    endforeach()
endforeach()

# What the folder holds already: the programs, the plugins, and what has been
# copied so far (all in lower case).
file(GLOB_RECURSE pending LIST_DIRECTORIES false "${root}/*.exe" "${root}/*.dll")
foreach(file IN LISTS pending)
    get_filename_component(name "${file}" NAME)
    string(TOLOWER "${name}" key)
    set("held_${key}" TRUE)
endforeach()

set(missing "")
while(pending)
    list(POP_FRONT pending file)
    execute_process(COMMAND "${QUILL_OBJDUMP}" -p "${file}" OUTPUT_VARIABLE dump
                    RESULT_VARIABLE dumped)
    if(NOT dumped EQUAL 0)
        message(FATAL_ERROR "Could not read the imports of ${file} with ${QUILL_OBJDUMP}.")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
    foreach(import IN LISTS imports)
        string(REGEX REPLACE "^DLL Name: " "" name "${import}")
        string(TOLOWER "${name}" key)
        get_filename_component(stem "${key}" NAME_WLE)
        if(DEFINED "held_${key}")
            continue()
        elseif(DEFINED "offer_${key}")
            file(INSTALL "${offer_${key}}" DESTINATION "${root}")
            get_filename_component(copied "${offer_${key}}" NAME)
            list(APPEND pending "${root}/${copied}")
        elseif(key MATCHES "^(api|ext)-ms-" OR EXISTS "${QUILL_SYSTEM_IMPLIBS}/lib${stem}.a")
            # Windows' own.
        else()
            get_filename_component(importer "${file}" NAME)
            list(APPEND missing "${name} (imported by ${importer})")
        endif()
        set("held_${key}" TRUE)
    endforeach()
endwhile()

if(missing)
    list(JOIN missing ", " missing)
    list(JOIN QUILL_DLL_FOLDERS ", " folders)
    message(FATAL_ERROR "The installed programs would not start: ${missing} not found in "
                        "${folders}. Add the folder that holds it to QUILL_DLL_FOLDERS "
                        "(cmake/windows-package.cmake).")
endif()
