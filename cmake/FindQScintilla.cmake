# SPDX-License-Identifier: GPL-3.0-or-later
# QScintilla for Qt 6 ships no CMake package: find its headers and library and wrap them in the
# imported target QScintilla::QScintilla. The distributions install it beside Qt, so Qt's own
# folders come first. An imported target's include folders are passed as system ones, which keeps
# QScintilla's headers out of our warnings.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

find_path(QScintilla_INCLUDE_DIR
    NAMES Qsci/qsciscintilla.h
    HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_HEADERS}"
    PATH_SUFFIXES qt6)
find_library(QScintilla_LIBRARY
    NAMES qscintilla2_qt6
    HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_LIBS}")

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(QScintilla
    REQUIRED_VARS QScintilla_LIBRARY QScintilla_INCLUDE_DIR)
mark_as_advanced(QScintilla_INCLUDE_DIR QScintilla_LIBRARY)

if(QScintilla_FOUND AND NOT TARGET QScintilla::QScintilla)
    add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
    set_target_properties(QScintilla::QScintilla PROPERTIES
        IMPORTED_LOCATION "${QScintilla_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${QScintilla_INCLUDE_DIR}"
        INTERFACE_LINK_LIBRARIES Qt6::Widgets)
endif()
