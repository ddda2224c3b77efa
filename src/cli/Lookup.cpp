// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Lookup.h"

#include "core/model/Languages.h"
#include "core/model/SupportedFileExtension.h"

#include <QUuid>

namespace {

Error lookupError(const QString &description)
{
    return Error{QStringLiteral("CommandLine"), 2, description};
}

template <typename Item>
Result<Item> find(const QList<Item> &all, const QString &nameOrId, const QString &what)
{
    const QUuid id = QUuid::fromString(nameOrId.trimmed());
    QList<Item> named;
    for (const Item &item : all) {
        if (!id.isNull() && item.id == id)
            return item;
        if (item.name == nameOrId)
            named.append(item);
    }
    if (named.size() == 1)
        return named.first();
    if (named.isEmpty())
        return lookupError(
            QStringLiteral("No %1 is named or numbered \"%2\".").arg(what, nameOrId));
    QStringList ids;
    for (const Item &item : named)
        ids.append(item.id.toString(QUuid::WithoutBraces));
    return lookupError(QStringLiteral("%1 %2s are named \"%3\"; give one of their ids: %4")
                           .arg(named.size())
                           .arg(what, nameOrId, ids.join(QStringLiteral(", "))));
}

} // namespace

namespace Lookup {

Result<ConfigurationItem> configuration(const QList<ConfigurationItem> &all,
                                        const QString &nameOrId)
{
    return find(all, nameOrId, QStringLiteral("configuration"));
}

Result<CodeWatcherModel> watcher(const QList<CodeWatcherModel> &all, const QString &nameOrId)
{
    return find(all, nameOrId, QStringLiteral("watcher"));
}

Result<SupportedFileExtension> language(const QString &spelling)
{
    for (const Language &language : Languages::all()) {
        if (spelling == language.code ||
            spelling.compare(language.displayName, Qt::CaseInsensitive) == 0)
            return language.kind;
    }
    return lookupError(
        QStringLiteral("Unknown language \"%1\"; use one of: %2").arg(spelling, languageCodes()));
}

QString languageCodes()
{
    QStringList codes;
    for (const Language &language : Languages::all())
        codes.append(language.code);
    return codes.join(QStringLiteral(", "));
}

} // namespace Lookup
