#pragma once

#include <QtGlobal>

// Window geometry is laid out in twips (1/1440 inch); Qt works in device-independent
// pixels of 1/96 inch and scales them for high-dpi screens itself.
namespace modTwips {

constexpr int TwipsPerPixel = 15;

constexpr int Px(double twips) {
    return twips >= 0 ? int(twips / TwipsPerPixel + 0.5) : -int(-twips / TwipsPerPixel + 0.5);
}

constexpr int Twips(int pixels) {
    return pixels * TwipsPerPixel;
}

} // namespace modTwips
