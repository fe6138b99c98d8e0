// SPDX-License-Identifier: Apache-2.0
#pragma once

class QTranslator;

// Qt's own texts (the save dialog's buttons, its replace question) in Japanese,
// so they read like the rest of the program whatever the desktop's language.
namespace modQtLanguage {

// Loads Qt's Japanese catalogue from Qt's translations folder into translator
// and installs it in the running application. False when it is not there.
bool InstallJapanese(QTranslator& translator);

} // namespace modQtLanguage
