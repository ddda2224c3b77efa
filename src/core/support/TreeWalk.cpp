// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/TreeWalk.h"

#include "core/support/PrivateCopyNames.h"

#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TreeWalk::Kind kindOf(unsigned char type)
{
    switch (type) {
    case DT_REG:
        return TreeWalk::Kind::file;
    case DT_DIR:
        return TreeWalk::Kind::directory;
    case DT_UNKNOWN:
        return TreeWalk::Kind::unknown;
    default:
        return TreeWalk::Kind::other;
    }
}

TreeWalk::Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return TreeWalk::Kind::file;
    if (S_ISDIR(mode))
        return TreeWalk::Kind::directory;
    return TreeWalk::Kind::other;
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

bool TreeWalk::passesOver(std::string_view name, Kind kind, Scope scope)
{
    if (kind == Kind::other)
        return true;
    // A file being formatted is copied into such a folder; the copy is not the project's.
    if (kind == Kind::directory && PrivateCopyNames::isCopyDirectory(name))
        return true;
    // A repository's own store: its objects and hooks are never the project's sources.
    if (kind == Kind::directory && name == ".git")
        return true;
    if (scope == Scope::visible)
        return name.front() == '.' || (kind == Kind::directory && isPackageName(name));
    return false;
}

bool TreeWalk::isPackageName(std::string_view name)
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

bool TreeWalk::Listing::read(bool followLink, const Options &options)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(m_path.c_str(), flags);
    if (fd < 0) {
        fail(options, m_path, errno, Failure::unlistable);
        return false;
    }
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        fail(options, m_path, errno, Failure::unlistable);
        ::close(fd);
        return false;
    }
    // A read error part-way ends the listing early, like the end of the directory.
    while (const dirent *item = ::readdir(dir)) {
        if (isDotOrDotDot(item->d_name))
            continue;
        Kind kind = kindOf(item->d_type);
        int error = 0;
        if (kind == Kind::unknown) {
            // Some file systems do not fill in the type while listing.
            struct stat status = {};
            if (::fstatat(fd, item->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0)
                kind = kindOf(status.st_mode);
            else
                error = errno;
        }
        const std::string_view name(item->d_name);
        if (passesOver(name, kind, options.scope))
            continue;
        m_entries.push_back(
            Entry{std::uint32_t(m_names.size()), std::uint32_t(name.size()), kind, error});
        m_names.append(name);
    }
    ::closedir(dir);
    return true;
}

std::string TreeWalk::Listing::childPath(const Entry &entry) const
{
    const std::string_view child = name(entry);
    std::string path;
    path.reserve(m_path.size() + 1 + child.size());
    path.append(m_path);
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(child);
    return path;
}

bool TreeWalk::files(std::string root, const Options &options, const FileVisitor &onFile)
{
    struct None
    {};
    return run(
        std::move(root), None{}, options,
        [](const None &, const std::string &, std::string_view) {
            return std::optional<None>(None{});
        },
        [&](const None &, std::string path, std::string_view name) {
            onFile(std::move(path), name);
        });
}
