// SPDX-License-Identifier: Apache-2.0
#include "modFontSubstitutes.h"

#include <QApplication>
#include <QFont>
#include <QStringList>

namespace modFontSubstitutes {

void InstallFontSubstitutes() {
    // The first of these that is installed serves every named font alike.
    const QStringList japanese = {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAPGothic"),
                                  QStringLiteral("VL PGothic"),
                                  QStringLiteral("Droid Sans Fallback")};
    const QString pGothic = QStringLiteral("ＭＳ Ｐゴシック");
    for (const QString& family : {pGothic, QStringLiteral("MS PGothic"), QStringLiteral("Verdana"),
                                  QStringLiteral("Arial")})
        QFont::insertSubstitutions(family, japanese);
    QFont standard(pGothic);
    standard.setPointSizeF(9);
    QApplication::setFont(standard);
}

} // namespace modFontSubstitutes
