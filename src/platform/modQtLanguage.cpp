// SPDX-License-Identifier: Apache-2.0
#include "modQtLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace modQtLanguage {

bool InstallJapanese(QTranslator& translator) {
    // qtbase covers the widgets' dialogs; Debian ships it in qt6-translations-l10n.
    return translator.load(QStringLiteral("qtbase_ja"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
           QCoreApplication::installTranslator(&translator);
}

} // namespace modQtLanguage
