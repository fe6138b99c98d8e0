#include "modFontSubstitutes.h"

#include <QFont>
#include <QStringList>

namespace modFontSubstitutes {

void InstallFontSubstitutes() {
    const QStringList japanese = {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAPGothic"),
                                  QStringLiteral("VL PGothic"),
                                  QStringLiteral("Droid Sans Fallback")};
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), japanese);
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"), japanese);
    QFont::insertSubstitutions(QStringLiteral("Verdana"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"),
                                QStringLiteral("Noto Sans CJK JP")});
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Noto Sans"),
                                QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK JP")});
}

} // namespace modFontSubstitutes
