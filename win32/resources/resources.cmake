# tunelark_windows_resources(<target>): gives the Windows program its icon (made from
# qt/tunelark.svg at build time), its version information and its manifest, as one .rc compiled
# by windres. For the one program: the files it makes are named for it alone.
enable_language(RC)

# Found on the build machine, not in MinGW's root (the toolchain file never looks there for
# programs). scripts/setup installs both.
find_program(TUNELARK_RSVG_CONVERT rsvg-convert)
find_program(TUNELARK_ICOTOOL icotool)
if(NOT TUNELARK_RSVG_CONVERT OR NOT TUNELARK_ICOTOOL)
    message(FATAL_ERROR "The Windows program's icon needs rsvg-convert (Debian's librsvg2-bin) "
        "and icotool (icoutils); scripts/setup windows installs them")
endif()

function(tunelark_windows_resources target)
    set(here ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
    set(out ${CMAKE_CURRENT_BINARY_DIR}/resources)
    get_filename_component(svg ${here}/../../qt/tunelark.svg ABSOLUTE)

    # Every size Explorer and the taskbar ask for; the 256 one stays PNG inside the .ico, as
    # Windows Vista and later read it, which keeps the file small.
    set(sizes 16 24 32 48 64 256)
    set(pngs)
    set(commands)
    foreach(size IN LISTS sizes)
        set(png ${out}/icon-${size}.png)
        list(APPEND commands COMMAND ${TUNELARK_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg})
        if(size EQUAL 256)
            list(APPEND pngs --raw=${png})
        else()
            list(APPEND pngs ${png})
        endif()
    endforeach()
    set(TUNELARK_ICON ${out}/tunelark.ico)
    add_custom_command(OUTPUT ${TUNELARK_ICON}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
        ${commands}
        COMMAND ${TUNELARK_ICOTOOL} -c -o ${TUNELARK_ICON} ${pngs}
        DEPENDS ${svg}
        COMMENT "Making the program's icon from qt/tunelark.svg"
        VERBATIM)

    # VERSIONINFO wants four numbers; the project's version may give fewer.
    set(parts)
    foreach(part MAJOR MINOR PATCH TWEAK)
        if("${PROJECT_VERSION_${part}}" STREQUAL "")
            list(APPEND parts 0)
        else()
            list(APPEND parts ${PROJECT_VERSION_${part}})
        endif()
    endforeach()
    list(JOIN parts "," TUNELARK_VERSION_COMMAS)
    list(JOIN parts "." TUNELARK_VERSION_DOTS)

    set(TUNELARK_MANIFEST ${out}/tunelark.manifest)
    configure_file(${here}/tunelark.manifest.in ${TUNELARK_MANIFEST} @ONLY)
    configure_file(${here}/tunelark.rc.in ${out}/tunelark.rc @ONLY)

    set_source_files_properties(${out}/tunelark.rc PROPERTIES
        OBJECT_DEPENDS "${TUNELARK_ICON};${TUNELARK_MANIFEST}")
    target_sources(${target} PRIVATE ${out}/tunelark.rc ${TUNELARK_ICON})
endfunction()
