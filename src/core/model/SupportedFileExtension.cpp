// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/model/SupportedFileExtension.h"

#include "core/model/Languages.h"

namespace SupportedFileExtensions {

const QList<SupportedFileExtension> &allCases()
{
    static const QList<SupportedFileExtension> cases = [] {
        QList<SupportedFileExtension> kinds;
        for (const Language &language : Languages::all())
            kinds.append(language.kind);
        return kinds;
    }();
    return cases;
}

QString code(SupportedFileExtension kind)
{
    return Languages::of(kind).code;
}

std::optional<SupportedFileExtension> fromCode(const QString &text)
{
    for (const Language &language : Languages::all()) {
        if (language.code == text)
            return language.kind;
    }
    return std::nullopt;
}

QString displayName(SupportedFileExtension kind)
{
    return Languages::of(kind).displayName;
}

const QStringList &fileExtensions(SupportedFileExtension kind)
{
    return Languages::of(kind).fileExtensions;
}

QString pathExtension(const QString &path)
{
    const qsizetype nameStart = path.lastIndexOf(u'/') + 1;
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < nameStart)
        return {};
    return path.mid(dot + 1);
}

bool matches(SupportedFileExtension kind, const QString &path)
{
    return fileExtensions(kind).contains(pathExtension(path), Qt::CaseSensitive);
}

} // namespace SupportedFileExtensions
