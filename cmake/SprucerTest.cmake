# SPDX-License-Identifier: GPL-3.0-or-later
# sprucer_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [GUI])
# Builds one Qt Test executable and registers it with CTest in a fixed, reproducible locale.
function(sprucer_add_test)
    cmake_parse_arguments(ARG "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE
        sprucer_settings sprucer_test_support Qt6::Test ${ARG_LIBS})
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    set(env "LANG=en_US.UTF-8" "LC_ALL=en_US.UTF-8")
    if(ARG_GUI)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    if(ENABLE_SANITIZERS)
        list(APPEND env "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"
                        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    endif()
    set_tests_properties(${ARG_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 120)
endfunction()

if(NOT TARGET check)
    add_custom_target(check
        COMMAND ${CMAKE_CTEST_COMMAND} --output-on-failure
        WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
        USES_TERMINAL)
endif()
