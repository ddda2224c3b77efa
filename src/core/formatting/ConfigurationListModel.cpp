// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigurationListModel.h"

#include "core/formatting/ConfigManagerFactory.h"

#include <QLocale>

ConfigurationListModel::ConfigurationListModel(ConfigManagerFactory &store,
                                               SupportedFileExtension language, QObject *parent)
    : QAbstractListModel(parent)
    , m_store(store)
    , m_language(language)
{
    connect(&store, &ConfigManagerFactory::configsChanged, this, &ConfigurationListModel::reload);
    reload();
}

void ConfigurationListModel::reload()
{
    QList<ConfigurationItem> items = m_store.configs();
    items.removeIf([this](const ConfigurationItem &item) { return item.language != m_language; });
    if (items == m_items)
        return;
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

int ConfigurationListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant ConfigurationListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ConfigurationItem &item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return item.name;
    case idRole:
        return item.id;
    case createdTextRole:
    case Qt::AccessibleDescriptionRole: // what the row shows under the name, read out too
        return QString(QStringLiteral("Created ") +
                       QLocale().toString(item.createdAt.toLocalTime(), QLocale::ShortFormat));
    case Qt::AccessibleTextRole:
        return QString(QStringLiteral("Edit ") + item.name);
    default:
        return {};
    }
}
