// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Walks a directory tree the way every part of the program sees it: depth first, each directory
// in the order the file system lists it, from its name types alone where it gives them. One rule
// (`passesOver`) says what is left out: symbolic links (never followed, except the root), items
// that are neither regular files nor directories, the private-copy folders of files being
// formatted, and git's own folders. The `visible` scope also leaves out hidden items and packages,
// as a file browser shows the tree. Only regular files are reported.
//
// Each directory is listed whole and closed before the walk goes on, so one descriptor is open
// at a time however deep the tree. Paths are raw file-system bytes. Runs on the calling thread.
class TreeWalk
{
public:
    enum class Scope : std::uint8_t
    {
        everything,
        visible,
    };

    enum class Kind : std::uint8_t
    {
        file,
        directory,
        other,   // links, sockets, devices, pipes
        unknown, // the file system lists no type, and asking for it failed
    };

    enum class Failure : std::uint8_t
    {
        unlistable,     // a directory, the root included, could not be opened
        unreadableType, // an item's type could not be read; `error` is the errno value
    };
    using FailureVisitor = std::function<void(const std::string &path, int error, Failure failure)>;
    using FileVisitor = std::function<void(std::string path, std::string_view name)>;

    struct Options
    {
        Scope scope = Scope::everything;
        bool followRootLink = true;               // the chosen folder may be reached through a link
        const std::atomic_bool *cancel = nullptr; // once set, the walk returns early
        FailureVisitor onFailure = {};
    };

    // One directory's items that the rule lets through, with their kinds.
    class Listing
    {
    public:
        struct Entry
        {
            std::uint32_t nameOffset;
            std::uint32_t nameLength;
            Kind kind;
            int error; // for `unknown`
        };

        explicit Listing(std::string path)
            : m_path(std::move(path))
        {}
        bool read(bool followLink, const Options &options);
        // Null once every entry was taken.
        const Entry *next() { return m_next < m_entries.size() ? &m_entries[m_next++] : nullptr; }
        std::string_view name(const Entry &entry) const
        {
            return std::string_view(m_names).substr(entry.nameOffset, entry.nameLength);
        }
        std::string childPath(const Entry &entry) const;

    private:
        std::string m_path;
        std::string m_names;
        std::vector<Entry> m_entries;
        std::size_t m_next = 0;
    };

    // `enter(const Tag &parent, const std::string &path, std::string_view name)` is asked before
    // a directory below the root is listed and gives its tag, or nothing to leave it out;
    // `onFile(const Tag &directory, std::string path, std::string_view name)` hears of each
    // regular file. False, having visited nothing, when the root cannot be listed.
    template <class Tag, class Enter, class OnFile>
    static bool run(std::string root, Tag rootTag, const Options &options, Enter &&enter,
                    OnFile &&onFile);

    // Every regular file of the tree, for a caller that needs nothing more.
    static bool files(std::string root, const Options &options, const FileVisitor &onFile);

    // The one rule of what a walk leaves out.
    static bool passesOver(std::string_view name, Kind kind, Scope scope);
    // Directories the platform presents as single files; matched on the lower-cased extension.
    static bool isPackageName(std::string_view name);

private:
    static bool cancelled(const Options &options)
    {
        return options.cancel && options.cancel->load(std::memory_order_relaxed);
    }
    static void fail(const Options &options, const std::string &path, int error, Failure failure)
    {
        if (options.onFailure)
            options.onFailure(path, error, failure);
    }
};

template <class Tag, class Enter, class OnFile>
bool TreeWalk::run(std::string root, Tag rootTag, const Options &options, Enter &&enter,
                   OnFile &&onFile)
{
    struct Frame
    {
        Listing listing;
        Tag tag;
    };
    std::vector<Frame> stack;
    stack.push_back(Frame{Listing(std::move(root)), std::move(rootTag)});
    if (!stack.back().listing.read(options.followRootLink, options))
        return false;
    while (!stack.empty() && !cancelled(options)) {
        Frame &frame = stack.back();
        const Listing::Entry *entry = frame.listing.next();
        if (!entry) {
            stack.pop_back();
            continue;
        }
        const std::string_view name = frame.listing.name(*entry);
        std::string path = frame.listing.childPath(*entry);
        if (entry->kind == Kind::file) {
            onFile(std::as_const(frame.tag), std::move(path), name);
        } else if (entry->kind == Kind::unknown) {
            fail(options, path, entry->error, Failure::unreadableType);
        } else if (std::optional<Tag> tag = enter(std::as_const(frame.tag), path, name)) {
            Listing child(std::move(path));
            // `frame` and `name` are invalid once the stack grows.
            if (child.read(false, options))
                stack.push_back(Frame{std::move(child), std::move(*tag)});
        }
    }
    return true;
}
