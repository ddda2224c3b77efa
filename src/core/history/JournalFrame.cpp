// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/JournalFrame.h"

#include <QCryptographicHash>
#include <QtEndian>

namespace {

constexpr char kMark[4] = {'S', 'F', 'J', '1'};
// No entry is larger: the content before is at most the fixer's 16 MiB, compressed.
constexpr qint64 kLargestPayload = 64LL * 1024 * 1024;

QByteArray checksumOf(const QByteArray &payload)
{
    return QCryptographicHash::hash(payload, QCryptographicHash::Md5).left(8);
}

} // namespace

namespace JournalFrame {

QByteArray wrap(const QByteArray &payload)
{
    QByteArray frame(kMark, 4);
    char length[4];
    qToBigEndian(quint32(payload.size()), length);
    frame.append(length, 4);
    frame += checksumOf(payload);
    frame += payload;
    return frame;
}

Header readHeader(const QByteArray &header, qint64 available)
{
    if (header.size() < headerSize || !header.startsWith(QByteArrayView(kMark, 4)))
        return {};
    const qint64 length = qFromBigEndian<quint32>(header.constData() + 4);
    if (length > kLargestPayload || length > available)
        return {};
    return {Read::whole, length};
}

bool matches(const QByteArray &header, const QByteArray &payload)
{
    return header.mid(8, 8) == checksumOf(payload);
}

qsizetype nextWhole(const QByteArray &bytes, qsizetype from)
{
    for (qsizetype at = bytes.indexOf(QByteArrayView(kMark, 4), from); at >= 0;
         at = bytes.indexOf(QByteArrayView(kMark, 4), at + 1)) {
        const QByteArray header = bytes.mid(at, headerSize);
        const Header frame = readHeader(header, bytes.size() - at - headerSize);
        if (frame.state == Read::whole && matches(header, bytes.mid(at + headerSize, frame.length)))
            return at;
    }
    return -1;
}

} // namespace JournalFrame
