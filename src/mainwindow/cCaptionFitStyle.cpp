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

namespace {

// The caption's room grown, centred as before, to the height its font needs or
// to all the button has.
QRect Fitted(QRect room, const QRect& button, int intNeeded) {
    if (room.height() < intNeeded) {
        const int intHeight = qMin(intNeeded, button.height());
        room.setTop(button.top() + (button.height() - intHeight) / 2);
        room.setHeight(intHeight);
    }
    return room;
}

} // namespace

QRect cCaptionFitStyle::subElementRect(SubElement element, const QStyleOption* pOption,
                                       const QWidget* pWidget) const {
    const QRect room = QProxyStyle::subElementRect(element, pOption, pWidget);
    return element == SE_PushButtonContents
               ? Fitted(room, pOption->rect, pOption->fontMetrics.height())
               : room;
}

void cCaptionFitStyle::drawControl(ControlElement element, const QStyleOption* pOption,
                                   QPainter* pPainter, const QWidget* pWidget) const {
    const auto* pButton = qstyleoption_cast<const QStyleOptionButton*>(pOption);
    if (element != CE_PushButtonLabel || !pButton || !pWidget)
        return QProxyStyle::drawControl(element, pOption, pPainter, pWidget);
    QStyleOptionButton fitted = *pButton;
    fitted.rect = Fitted(pButton->rect, pWidget->rect(), pButton->fontMetrics.height());
    QProxyStyle::drawControl(element, &fitted, pPainter, pWidget);
}
