// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ImportedConfiguration.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

ImportedConfiguration ImportedConfiguration::read(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    if (info.size() > maximumBytes)
        return {Outcome::tooLarge, {}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The size may have changed since it was looked at; never read more than the limit.
    const QByteArray bytes = file.read(maximumBytes + 1);
    if (bytes.size() > maximumBytes)
        return {Outcome::tooLarge, {}};
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return {Outcome::notUtf8, {}};
    return {Outcome::text, std::move(text)};
}
