// SPDX-License-Identifier: Apache-2.0
#include "modUiAssets.h"

// Q_INIT_RESOURCE must be called outside any namespace.
static void InitAssetsResource() {
    Q_INIT_RESOURCE(assets);
}

namespace modUiAssets {

void InitAssets() {
    InitAssetsResource();
}

QFont UiFont(const QString& strFamily, double dblPoints, bool blnBold) {
    QFont font(strFamily);
    font.setPointSizeF(dblPoints);
    font.setBold(blnBold);
    return font;
}

} // namespace modUiAssets
