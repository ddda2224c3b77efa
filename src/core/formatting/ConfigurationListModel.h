// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/ConfigurationItem.h"

#include <QAbstractListModel>
#include <QList>

class ConfigManagerFactory;

// One language's configurations, in the order they were created, as the list sheet shows them.
// Follows the store: a configuration saved anywhere appears, or changes, here.
class ConfigurationListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        idRole = Qt::UserRole + 1,
        createdTextRole, // "Created " and the locale's numeric date with short time
    };

    ConfigurationListModel(ConfigManagerFactory &store, SupportedFileExtension language,
                           QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    ConfigurationItem itemAt(int row) const { return m_items.value(row); }

private:
    void reload();

    ConfigManagerFactory &m_store;
    SupportedFileExtension m_language;
    QList<ConfigurationItem> m_items;
};
