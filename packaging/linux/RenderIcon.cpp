// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the application icon at the sizes of the hicolor theme, at build time, so the PNGs
// installed always come from the one SVG.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc < 5) {
        QTextStream(stderr) << "usage: RenderIcon <icon.svg> <hicolor folder> <name> <size>...\n";
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        QTextStream(stderr) << "not a valid SVG: " << argv[1] << '\n';
        return 1;
    }
    const QDir theme(QString::fromLocal8Bit(argv[2]));
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int index = 4; index < argc; ++index) {
        const int size = std::atoi(argv[index]);
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QString path = theme.filePath(folder + u'/' + name + QStringLiteral(".png"));
        if (size <= 0 || !theme.mkpath(folder) || !image.save(path)) {
            QTextStream(stderr) << "could not write " << path << '\n';
            return 1;
        }
    }
    return 0;
}
