# SPDX-License-Identifier: MIT
# The Windows programs' resources: the icon, drawn from data/'s SVG at build
# time (rsvg-convert, as for the window's icon; packed by make-ico.sh), and a
# version resource with the project's version, from cmake/windows.rc.in
# compiled by MinGW's windres. The installer shows the same icon.
enable_language(RC)
set(QUILL_WINDOWS_ICON ${CMAKE_BINARY_DIR}/icons/quill.ico)
set(pictures)
set(entries)
# Explorer's largest view asks for 256 px.
foreach(size IN ITEMS ${QUILL_ICON_SIZES} 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}.png)
    add_custom_command(
        OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
        COMMAND ${QUILL_RSVG_CONVERT} --width ${size} --height ${size} --output ${png}
                ${QUILL_ICON_SVG}
        DEPENDS ${QUILL_ICON_SVG}
        VERBATIM
    )
    list(APPEND pictures ${png})
    list(APPEND entries ${size}=${png})
endforeach()
add_custom_command(
    OUTPUT ${QUILL_WINDOWS_ICON}
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/make-ico.sh ${QUILL_WINDOWS_ICON} ${entries}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make-ico.sh ${pictures}
    COMMENT "Making the Windows icon"
    VERBATIM
)
add_custom_target(quill_windows_icon DEPENDS ${QUILL_WINDOWS_ICON})

function(quill_windows_resources program description)
    set(rc ${CMAKE_BINARY_DIR}/resources/${program}.rc)
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/windows.rc.in ${rc} @ONLY)
    target_sources(${program} PRIVATE ${rc})
    set_source_files_properties(${rc} TARGET_DIRECTORY ${program}
                                PROPERTIES OBJECT_DEPENDS ${QUILL_WINDOWS_ICON})
    add_dependencies(${program} quill_windows_icon)
endfunction()
quill_windows_resources(quill "Quill: Ostrel flash download")
quill_windows_resources(quill-cli "Quill command line: Ostrel flash download")
