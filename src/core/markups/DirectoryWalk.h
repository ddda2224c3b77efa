// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Walks a directory tree the way the markup scanner must see it: depth first, each directory in
// the order the file system lists it; hidden items (and everything inside hidden directories)
// skipped; packages such as "Foo.app" or "Bar.xcodeproj" not entered; symbolic links never
// followed; subdirectories that cannot be listed passed over. Only regular files are reported.
//
// Paths are raw file-system bytes. Runs on the calling thread.
class DirectoryWalk
{
public:
    using FileVisitor = std::function<void(std::string path, std::string_view name)>;
    // Called when an item's type cannot be read; `error` is an errno value.
    using ErrorVisitor = std::function<void(const std::string &path, int error)>;

    // False (having reported nothing) when the root cannot be listed.
    static bool run(const std::string &root, const FileVisitor &onFile,
                    const ErrorVisitor &onError);

    // Directories the platform presents as single files; matched on the lower-cased extension.
    static bool isPackageName(std::string_view name);
};
