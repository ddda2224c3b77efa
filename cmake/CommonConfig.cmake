# SPDX-License-Identifier: GPL-3.0-or-later
# Compile settings shared by every target of the project.
add_library(sprucer_settings INTERFACE)

target_compile_options(sprucer_settings INTERFACE
    -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wold-style-cast)

target_compile_definitions(sprucer_settings INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_USE_QSTRINGBUILDER
    SPRUCER_VERSION="${PROJECT_VERSION}")

if(WARNINGS_AS_ERRORS)
    target_compile_options(sprucer_settings INTERFACE -Werror)
endif()

if(ENABLE_SANITIZERS)
    target_compile_options(sprucer_settings INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(sprucer_settings INTERFACE -fsanitize=address,undefined)
endif()
