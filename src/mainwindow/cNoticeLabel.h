// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QLabel>

// A label whose lines share its height evenly. The About window's notice has
// four lines in a box sized for the Japanese Windows font; the fonts that stand
// in for it elsewhere have a taller natural line and would push the last line
// out of sight.
class cNoticeLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};
