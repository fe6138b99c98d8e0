// SPDX-License-Identifier: Apache-2.0
#include "cPictureBox.h"

#include <QPainter>

cPictureBox::cPictureBox(QWidget* parent) : QWidget(parent) {}

void cPictureBox::SetPicture(const QImage& picture) {
    m_picture = picture.convertToFormat(QImage::Format_RGB32);
    Cls();
}

void cPictureBox::Cls() {
    m_image = m_picture;
    update();
}

bool cPictureBox::BitBlt(int intX, int intY, int intWidth, int intHeight, const cPictureBox& source,
                         int intSrcX, int intSrcY) {
    const QRect target(intX, intY, intWidth, intHeight);
    const QRect from(intSrcX, intSrcY, intWidth, intHeight);
    if (m_image.isNull() || source.m_image.isNull() || !m_image.rect().contains(target) ||
        !source.m_image.rect().contains(from))
        return false;
    QPainter painter(&m_image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(target.topLeft(), source.m_image, from);
    return true;
}

void cPictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.drawImage(0, 0, m_image);
}
