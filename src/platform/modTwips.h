// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QRect>
#include <QtGlobal>

// Window geometry is laid out in twips (1/1440 inch); Qt works in device-independent
// pixels of 1/96 inch and scales them for high-dpi screens itself.
namespace modTwips {

constexpr int TwipsPerPixel = 15;

constexpr int Px(double dblTwips) {
    return dblTwips >= 0 ? int(dblTwips / TwipsPerPixel + 0.5)
                         : -int(-dblTwips / TwipsPerPixel + 0.5);
}

constexpr int Twips(int intPixels) {
    return intPixels * TwipsPerPixel;
}

// A control's rectangle given in twips, as the windows' layout tables give it.
constexpr QRect TwipsRect(int intLeft, int intTop, int intWidth, int intHeight) {
    return QRect(Px(intLeft), Px(intTop), Px(intWidth), Px(intHeight));
}

} // namespace modTwips
