// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView reserved = u" \t\n\"'\\><~|&;$*?#()`";

Error failure(qint64 code, const QString &description)
{
    return Error{u"XdgAutostart"_s, code, description};
}

// A raw line break would end the value and let the rest of the text become keys.
QString escapedString(const QString &text)
{
    QString value;
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            value += u"\\\\"_s;
            break;
        case u'\n':
            value += u"\\n"_s;
            break;
        case u'\t':
            value += u"\\t"_s;
            break;
        case u'\r':
            value += u"\\r"_s;
            break;
        default:
            value += c;
        }
    }
    return value;
}

QByteArray entryContent(const QString &program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Sprucer\n"
           "Comment=Keeps source code formatted\n"
           "Exec=" +
           XdgAutostart::execValue(program).toUtf8() +
           "\n"
           // Once the program is removed, desktops skip the entry instead of failing at login.
           "TryExec=" +
           escapedString(program).toUtf8() +
           "\n"
           "Icon=com.velmora.Sprucer\n"
           "X-GNOME-Autostart-enabled=true\n";
}

// Whether the [Desktop Entry] group of an entry says it must not start.
bool turnedOff(const QByteArray &entry)
{
    bool inEntryGroup = false;
    for (const QByteArray &rawLine : entry.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inEntryGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inEntryGroup || line.startsWith('#') || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed().toLower();
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return true;
    }
    return false;
}

} // namespace

QString XdgAutostart::entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/autostart/com.velmora.Sprucer.desktop"_s;
}

QString XdgAutostart::execValue(const QString &program)
{
    QString argument = program;
    if (program.isEmpty() ||
        std::any_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); })) {
        argument = u"\""_s;
        for (QChar c : program) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                argument += u'\\';
            argument += c;
        }
        argument += u'"';
    }
    argument.replace(u'%', u"%%"_s);
    return escapedString(argument);
}

Result<void> XdgAutostart::registerLoginItem(const QString &program)
{
    const QString path = entryPath();
    const QByteArray content = entryContent(program);
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return failure(2, u"could not read "_s + path + u": "_s + existing.errorString());
        const QByteArray current = existing.readAll();
        if (turnedOff(current))
            return failure(1, u"the login item was turned off in "_s + path);
        if (current == content)
            return {};
    }
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder))
        return failure(3, u"could not create the folder "_s + folder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return failure(3, u"could not write "_s + path + u": "_s + file.errorString());
    return {};
}

Result<void> XdgAutostart::unregisterLoginItem()
{
    QFile entry(entryPath());
    if (entry.exists() && !entry.remove())
        return failure(4,
                       u"could not remove "_s + entry.fileName() + u": "_s + entry.errorString());
    return {};
}
