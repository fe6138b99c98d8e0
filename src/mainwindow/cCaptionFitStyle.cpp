// SPDX-License-Identifier: Apache-2.0
#include "cCaptionFitStyle.h"

#include <QApplication>
#include <QPushButton>
#include <QStyleOption>

// A proxy of its own copy of the application's style, so that neither owns the other.
cCaptionFitStyle::cCaptionFitStyle() : QProxyStyle(QApplication::style()->name()) {}

void cCaptionFitStyle::FitButtons(QWidget* pWindow) {
    auto* pStyle = new cCaptionFitStyle;
    pStyle->setParent(pWindow);
    for (QPushButton* pButton : pWindow->findChildren<QPushButton*>())
        pButton->setStyle(pStyle);
}

QRect cCaptionFitStyle::subElementRect(SubElement element, const QStyleOption* pOption,
                                       const QWidget* pWidget) const {
    QRect rect = QProxyStyle::subElementRect(element, pOption, pWidget);
    const int intNeeded = pOption->fontMetrics.height();
    if (element == SE_PushButtonContents && rect.height() < intNeeded) {
        // As much of the button's height as the caption needs, centred as before.
        const int intHeight = qMin(intNeeded, pOption->rect.height());
        rect.setTop(pOption->rect.top() + (pOption->rect.height() - intHeight) / 2);
        rect.setHeight(intHeight);
    }
    return rect;
}
