// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tIoError.h"

#include <QString>

// How the windows word what went wrong: one Japanese sentence per kind, never
// the system's own (often English) text.
namespace modErrorWords {

// The sentence for the kind ("ファイルが見つかりません。"); for a kind without
// one of its own, a sentence with the system's error number. A failed write
// that touched the old file says what became of it.
QString IoErrorText(const tIoError& error);

} // namespace modErrorWords
