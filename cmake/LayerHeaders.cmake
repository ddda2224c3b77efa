# SPDX-License-Identifier: GPL-3.0-or-later
# sprucer_layer_headers(<target> <folder of src>)
# Gives the target an include root of its own in the build tree where only src/<folder> is
# found, as "<folder>/...". No target sees src/ whole: a file finds the headers of its own
# layer and of the layers its target links, so an include that points up or sideways does not
# compile. The link graph alone would not stop it: inline code needs no symbol, and a static
# library's missing symbol surfaces only in whichever program links it, if at all.
function(sprucer_layer_headers target folder)
    set(root "${PROJECT_BINARY_DIR}/layer-headers/${target}")
    get_filename_component(parent "${root}/${folder}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/${folder}" "${root}/${folder}" SYMBOLIC)
    target_include_directories(${target} PUBLIC "${root}")
endfunction()
