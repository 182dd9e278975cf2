# tunelark_library(<target> <source>...): the static library of the folder being configured. Its
# users reach only this folder's headers, as "<folder>/<header>.h": each folder is linked into a
# place of its own in the build tree, and that place alone goes on their include path.
function(tunelark_library target)
    add_library(${target} STATIC ${ARGN})
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set(exported ${CMAKE_BINARY_DIR}/exports/${folder})
    file(MAKE_DIRECTORY ${exported})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${exported}/${folder} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${exported})
endfunction()
