// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/DirectoryWalk.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

enum class Kind : std::uint8_t
{
    Unknown,
    File,
    Directory,
    Other
};

struct Entry
{
    std::uint32_t nameOffset;
    std::uint32_t nameLength;
    Kind kind;
};

// One directory on the walk's stack. It is listed whole and closed at once, so the walk holds
// a single descriptor however deep the tree goes.
struct Listing
{
    std::string path;
    std::string names;
    std::vector<Entry> entries;
    std::size_t next = 0;

    std::string_view name(const Entry &entry) const
    {
        return std::string_view(names).substr(entry.nameOffset, entry.nameLength);
    }
};

Kind kindOf(unsigned char type)
{
    switch (type) {
    case DT_REG:
        return Kind::File;
    case DT_DIR:
        return Kind::Directory;
    case DT_UNKNOWN:
        return Kind::Unknown;
    default:
        return Kind::Other; // links, sockets, devices, pipes
    }
}

Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::File;
    if (S_ISDIR(mode))
        return Kind::Directory;
    return Kind::Other;
}

// Lists a directory without its hidden entries (which include "." and ".."). The root may be
// reached through a symbolic link; directories below it never are.
bool list(Listing &listing, bool followLink)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(listing.path.c_str(), flags);
    if (fd < 0)
        return false;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    // A read error part-way ends the listing early, like the end of the directory.
    while (const dirent *item = ::readdir(dir)) {
        const std::string_view name(item->d_name);
        if (name.front() == '.')
            continue;
        listing.entries.push_back(Entry{std::uint32_t(listing.names.size()),
                                        std::uint32_t(name.size()), kindOf(item->d_type)});
        listing.names.append(name);
    }
    ::closedir(dir);
    return true;
}

std::string childPath(const std::string &directory, std::string_view name)
{
    std::string path;
    path.reserve(directory.size() + 1 + name.size());
    path.append(directory);
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
    return path;
}

} // namespace

bool DirectoryWalk::isPackageName(std::string_view name)
{
    static constexpr std::array<std::string_view, 13> kPackageExtensions = {
        "app",    "appex", "bundle",    "docset",    "framework",   "kext", "playground",
        "plugin", "rtfd",  "xcarchive", "xcodeproj", "xcworkspace", "xpc"};
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    std::string extension(name.substr(dot + 1));
    for (char &c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    for (const std::string_view package : kPackageExtensions) {
        if (extension == package)
            return true;
    }
    return false;
}

bool DirectoryWalk::run(const std::string &root, const FileVisitor &onFile,
                        const ErrorVisitor &onError)
{
    std::vector<Listing> stack(1);
    stack.back().path = root;
    if (!list(stack.back(), true))
        return false;

    while (!stack.empty()) {
        Listing &current = stack.back();
        if (current.next == current.entries.size()) {
            stack.pop_back();
            continue;
        }
        const Entry &entry = current.entries[current.next++];
        const std::string_view name = current.name(entry);
        std::string path = childPath(current.path, name);

        Kind kind = entry.kind;
        if (kind == Kind::Unknown) {
            // Some file systems do not fill in the type while listing.
            struct stat status;
            if (::lstat(path.c_str(), &status) != 0) {
                onError(path, errno);
                continue;
            }
            kind = kindOf(status.st_mode);
        }

        if (kind == Kind::File) {
            onFile(std::move(path), name);
        } else if (kind == Kind::Directory && !isPackageName(name)) {
            Listing child;
            child.path = std::move(path);
            // `current` is invalid once the stack grows.
            if (list(child, false))
                stack.push_back(std::move(child));
        }
    }
    return true;
}
