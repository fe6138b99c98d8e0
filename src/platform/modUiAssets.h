// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QFont>
#include <QString>

// What every window takes from the same place: its pictures and its fonts.
namespace modUiAssets {

// Makes the pictures compiled into the window library available; safe to call often.
void InitAssets();

// A font by family and point size (fractions kept, as 11.25 pt).
QFont UiFont(const QString& strFamily, double dblPoints, bool blnBold = false);

} // namespace modUiAssets
