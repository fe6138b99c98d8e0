// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QImage>
#include <QWidget>

// A picture box that keeps an off-screen image of itself: clearing restores
// its picture, drawing goes into the image, and a refresh shows the image.
class cPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit cPictureBox(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return m_picture; }
    const QImage& Image() const { return m_image; }

    // The image becomes the bare picture again.
    void Cls();
    // A straight copy of a rectangle of another box's image into this one's
    // (no blending). False when a picture is missing or a rectangle leaves it.
    bool BitBlt(int intX, int intY, int intWidth, int intHeight, const cPictureBox& source,
                int intSrcX, int intSrcY);
    void Refresh() { update(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    QImage m_image;
};
