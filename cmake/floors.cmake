# The program's floors: common <- model <- windows <- config <- app. A floor's
# sources see, through its own include tree, only the folders of its floor and
# those below (with resources/ and libs/, which every floor may use), so an
# include of a folder above fails to compile rather than waiting for review.

set(TESSALY_FLOOR_SHARED resources libs)

# tessaly_floor(<target> FOLDERS <folder>... SOURCES <file>... LINKS <library>...)
# A static library of SOURCES whose include tree holds FOLDERS and the shared
# folders, linked to LINKS (the floor below first).
function(tessaly_floor target)
    cmake_parse_arguments(FLOOR "" "" "FOLDERS;SOURCES;LINKS" ${ARGN})
    set(tree ${CMAKE_BINARY_DIR}/floors/${target})
    file(REMOVE_RECURSE ${tree})
    file(MAKE_DIRECTORY ${tree})
    set(include_dir ${tree})
    foreach(folder IN LISTS FLOOR_FOLDERS TESSALY_FLOOR_SHARED)
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${tree}/${folder} RESULT linked SYMBOLIC)
        if(NOT linked EQUAL 0)
            # Windows refuses links to users without the right to make them:
            # the floor then builds against the whole tree, unguarded.
            message(WARNING "${target}: no link to ${folder} (${linked}); includes are not checked")
            set(include_dir ${CMAKE_SOURCE_DIR})
        endif()
    endforeach()

    add_library(${target} STATIC ${FLOOR_SOURCES})
    target_include_directories(${target} PUBLIC ${include_dir})
    target_link_libraries(${target} PRIVATE tessaly_lean)
    target_link_libraries(${target} PUBLIC tessaly_flags ${FLOOR_LINKS})
endfunction()
