// SPDX-License-Identifier: Apache-2.0
// lumivo-update-art: draws the About window's logo (328 x 84) and the link pointer
// (32 x 32, tip at 2,2) as PNG files into the folder given as the only argument.

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

namespace {

QImage Logo() {
    QImage image(328, 84, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // The band behind the name.
    QLinearGradient band(0, 0, 328, 0);
    band.setColorAt(0.0, QColor(0x1f, 0x6f, 0xb2));
    band.setColorAt(1.0, QColor(0x2a, 0xa7, 0x9b));
    QPainterPath bandPath;
    bandPath.addRoundedRect(QRectF(4, 8, 320, 68), 14, 14);
    p.fillPath(bandPath, band);

    // A handset outline with three waves: a number that tells where it belongs.
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(22, 20, 26, 44), 5, 5);
    p.drawLine(QPointF(30, 56), QPointF(40, 56));
    p.drawRect(QRectF(27, 26, 16, 22));
    for (int i = 0; i < 3; ++i) {
        const qreal r = 8 + 7 * i;
        p.drawArc(QRectF(50 - r, 24 - r, 2 * r, 2 * r), 0 * 16, 80 * 16);
    }

    // The name, and what the tool does.
    QFont name(QStringLiteral("DejaVu Sans"));
    name.setPixelSize(38);
    name.setBold(true);
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(QRectF(84, 10, 236, 46), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Lumivo"));

    QFont tagline(QStringList{QStringLiteral("Noto Sans CJK JP"), QStringLiteral("DejaVu Sans")});
    tagline.setPixelSize(13);
    p.setFont(tagline);
    p.setPen(QColor(0xe8, 0xf4, 0xf2));
    p.drawText(QRectF(86, 52, 232, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("携帯番号のキャリア・地域検索"));

    // A small orange spot, the colour of the update's status line.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 128, 0));
    p.drawEllipse(QPointF(304, 24), 6, 6);
    return image;
}

QImage Pointer() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // An arrow with its tip at (2, 2) ...
    QPainterPath arrow;
    arrow.moveTo(2, 2);
    arrow.lineTo(2, 22);
    arrow.lineTo(7.5, 17);
    arrow.lineTo(11, 25);
    arrow.lineTo(14.5, 23.5);
    arrow.lineTo(11, 15.5);
    arrow.lineTo(18, 15.5);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::black, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(arrow);

    // ... and a round badge that says "this opens a page".
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(0x1f, 0x6f, 0xb2));
    p.drawEllipse(QPointF(23, 23), 7.5, 7.5);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 26), QPointF(26, 20));
    p.drawLine(QPointF(22, 20), QPointF(26, 20));
    p.drawLine(QPointF(26, 20), QPointF(26, 24));
    return image;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: lumivo-update-art FOLDER\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!Logo().save(folder + QStringLiteral("/logo.png")) ||
        !Pointer().save(folder + QStringLiteral("/pointer.png"))) {
        QTextStream(stderr) << "lumivo-update-art: cannot write into " << folder << "\n";
        return 1;
    }
    return 0;
}
