// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QProxyStyle>

class QWidget;

// The style in use, except that a button's caption may take the whole height of
// the button. The windows keep their buttons' fixed sizes; a style with wide
// margins (Windows' own) would otherwise cut a caption off at the bottom.
class cCaptionFitStyle : public QProxyStyle {
    Q_OBJECT
public:
    // Gives every push button of the window this style, owned by the window.
    static void FitButtons(QWidget* pWindow);

    QRect subElementRect(SubElement element, const QStyleOption* pOption,
                         const QWidget* pWidget) const override;
    // Some styles compute the caption's room without asking the proxy; the caption
    // is drawn in the fitted room all the same.
    void drawControl(ControlElement element, const QStyleOption* pOption, QPainter* pPainter,
                     const QWidget* pWidget) const override;

private:
    cCaptionFitStyle();
};
