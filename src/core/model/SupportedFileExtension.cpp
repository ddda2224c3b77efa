// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/model/SupportedFileExtension.h"

namespace SupportedFileExtensions {

const QList<SupportedFileExtension> &allCases()
{
    static const QList<SupportedFileExtension> cases{
        SupportedFileExtension::swift,
        SupportedFileExtension::cpp,
        SupportedFileExtension::objectivec,
        SupportedFileExtension::kotlin,
    };
    return cases;
}

QString code(SupportedFileExtension kind)
{
    switch (kind) {
    case SupportedFileExtension::swift:
        return QStringLiteral("swift");
    case SupportedFileExtension::cpp:
        return QStringLiteral("cpp");
    case SupportedFileExtension::objectivec:
        return QStringLiteral("objectivec");
    case SupportedFileExtension::kotlin:
        return QStringLiteral("kotlin");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<SupportedFileExtension> fromCode(const QString &text)
{
    for (SupportedFileExtension kind : allCases()) {
        if (code(kind) == text)
            return kind;
    }
    return std::nullopt;
}

QString displayName(SupportedFileExtension kind)
{
    switch (kind) {
    case SupportedFileExtension::swift:
        return QStringLiteral("Swift");
    case SupportedFileExtension::cpp:
        return QStringLiteral("C++");
    case SupportedFileExtension::objectivec:
        return QStringLiteral("Objective-C");
    case SupportedFileExtension::kotlin:
        return QStringLiteral("Kotlin");
    }
    Q_UNREACHABLE();
    return {};
}

const QStringList &fileExtensions(SupportedFileExtension kind)
{
    static const QStringList swift{QStringLiteral("swift")};
    // The everyday names of C++ sources, headers, inline and template parts; clang-format
    // treats every one of them as C++.
    static const QStringList cpp{
        QStringLiteral("cpp"), QStringLiteral("hpp"), QStringLiteral("h"),   QStringLiteral("c"),
        QStringLiteral("cc"),  QStringLiteral("cxx"), QStringLiteral("c++"), QStringLiteral("hh"),
        QStringLiteral("hxx"), QStringLiteral("h++"), QStringLiteral("ipp"), QStringLiteral("tpp"),
        QStringLiteral("inl")};
    static const QStringList objectivec{QStringLiteral("m"), QStringLiteral("mm"),
                                        QStringLiteral("h")};
    static const QStringList kotlin{QStringLiteral("kt"), QStringLiteral("kts")};
    switch (kind) {
    case SupportedFileExtension::swift:
        return swift;
    case SupportedFileExtension::cpp:
        return cpp;
    case SupportedFileExtension::objectivec:
        return objectivec;
    case SupportedFileExtension::kotlin:
        return kotlin;
    }
    Q_UNREACHABLE();
    return swift;
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
