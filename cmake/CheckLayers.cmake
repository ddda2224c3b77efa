# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every include of src/ points down the layers, never up or sideways, so the folders
# form no cycle:
#   cmake -DSOURCE_DIR=<repo>/src [-DPRINT_GRAPH=ON] -P cmake/CheckLayers.cmake
# A folder may include its own files and those of folders on a lower layer. PRINT_GRAPH lists
# the folder-to-folder includes with their counts.

# Folder (by prefix) and its layer, bottom first. A folder missing here fails the check.
set(layers
    "core/support=0"
    "core/model=1" "core/git=1"
    "core/markups=2" "core/stats=2" "core/telemetry=2" "core/history=2"
    "core/formatting=3"
    "core/watching=4"
    "core/services=5"
    "platform=6"
    "gui=7" "cli=7"
    "app=8")

function(layer_of folder out_group out_rank)
    foreach(entry IN LISTS layers)
        string(REPLACE "=" ";" pair "${entry}")
        list(GET pair 0 prefix)
        list(GET pair 1 rank)
        if(folder STREQUAL prefix OR folder MATCHES "^${prefix}/")
            set(${out_group} "${prefix}" PARENT_SCOPE)
            set(${out_rank} "${rank}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
    set(${out_group} "" PARENT_SCOPE)
    set(${out_rank} "" PARENT_SCOPE)
endfunction()

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "SOURCE_DIR (the src folder) is required")
endif()

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
list(SORT sources)
set(violations "")
set(edges "")
foreach(source IN LISTS sources)
    get_filename_component(from_folder "${source}" DIRECTORY)
    layer_of("${from_folder}" from_group from_rank)
    if(from_group STREQUAL "")
        list(APPEND violations "${source}: its folder has no layer in cmake/CheckLayers.cmake")
        continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" included "${line}")
        if(included MATCHES "^\\.\\.?/")
            # A path from the including file's folder reaches around the layers' include roots.
            get_filename_component(resolved "${SOURCE_DIR}/${from_folder}/${included}" ABSOLUTE)
            file(RELATIVE_PATH included "${SOURCE_DIR}" "${resolved}")
        endif()
        get_filename_component(to_folder "${included}" DIRECTORY)
        if(to_folder STREQUAL "" OR to_folder STREQUAL from_folder
           OR NOT EXISTS "${SOURCE_DIR}/${included}")
            continue() # own folder, or generated (moc) files
        endif()
        list(APPEND edges "${from_folder} -> ${to_folder}")
        layer_of("${to_folder}" to_group to_rank)
        if(to_group STREQUAL from_group)
            continue()
        endif()
        if(to_group STREQUAL "" OR NOT to_rank LESS from_rank)
            list(APPEND violations "${source} includes ${included}: ${from_group} (layer ${from_rank}) may not depend on ${to_group} (layer ${to_rank})")
        endif()
    endforeach()
endforeach()

if(PRINT_GRAPH)
    list(SORT edges)
    set(previous "")
    set(count 0)
    foreach(edge IN LISTS edges "")
        if(edge STREQUAL previous)
            math(EXPR count "${count} + 1")
            continue()
        endif()
        if(NOT previous STREQUAL "")
            message("${previous} (${count})")
        endif()
        set(previous "${edge}")
        set(count 1)
    endforeach()
endif()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "Includes that point up or sideways between layers:\n  ${text}")
endif()
list(LENGTH sources checked)
message(STATUS "Layers hold: ${checked} files checked")
