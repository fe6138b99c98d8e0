// SPDX-License-Identifier: Apache-2.0
#include "cNoticeLabel.h"

#include <QPainter>
#include <QRegularExpression>

void cNoticeLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(foregroundRole()));
    const QStringList lines = text().split(QRegularExpression(QStringLiteral("\r\n|\n")));
    const QRect area = contentsRect();
    const int pitch = area.height() / int(lines.size());
    const int top = area.top() + (area.height() - pitch * int(lines.size())) / 2;
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(QRect(area.left(), top + i * pitch, area.width(), pitch),
                         Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, lines[i]);
}
