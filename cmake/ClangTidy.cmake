# SPDX-License-Identifier: GPL-3.0-or-later
# `tidy` runs clang-tidy, with the root .clang-tidy, over the program's own sources (src/) as the
# compile database builds them: not the tests, not moc's and rcc's output, not vendored code.
# Any finding fails it. scripts/test runs it; it is not part of the default build, so changing a
# file does not pay for a lint of everything.
option(SPRUCER_CLANG_TIDY "Add the tidy target (clang-tidy over src/)" OFF)
if(SPRUCER_CLANG_TIDY)
    find_program(RUN_CLANG_TIDY_EXECUTABLE NAMES run-clang-tidy run-clang-tidy-14)
    find_program(CLANG_TIDY_EXECUTABLE NAMES clang-tidy clang-tidy-14)
endif()
if(SPRUCER_CLANG_TIDY AND NOT (RUN_CLANG_TIDY_EXECUTABLE AND CLANG_TIDY_EXECUTABLE))
    # The rest of the build does not need it: only the target fails, saying what is missing.
    add_custom_target(tidy
        COMMAND ${CMAKE_COMMAND} -E echo
            "clang-tidy and run-clang-tidy are needed (apt-get install clang-tidy)"
        COMMAND ${CMAKE_COMMAND} -E false
        VERBATIM)
elseif(SPRUCER_CLANG_TIDY)
    cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
    # A file that passed is checked again only once it, a header it reads, its flags or the
    # checks change (cmake/tidy-cached.py): a second run costs the preprocessing only.
    add_custom_target(tidy
        COMMAND ${CMAKE_COMMAND} -E env
            "CLANG_TIDY=${CLANG_TIDY_EXECUTABLE}" "TIDY_CACHE=${PROJECT_BINARY_DIR}/tidy-passed"
            ${RUN_CLANG_TIDY_EXECUTABLE} -quiet -j ${cores}
            -clang-tidy-binary "${PROJECT_SOURCE_DIR}/cmake/tidy-cached.py"
            -p "${PROJECT_BINARY_DIR}"
            # The layers' headers are reached through the links of cmake/LayerHeaders.cmake.
            -header-filter "^(${PROJECT_SOURCE_DIR}/src|${PROJECT_BINARY_DIR}/layer-headers)/"
            "^${PROJECT_SOURCE_DIR}/src/.*\\.cpp$"
        WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
        COMMENT "Checking src/ with clang-tidy"
        USES_TERMINAL
        VERBATIM)
endif()
