// SPDX-License-Identifier: Apache-2.0
#pragma once

// The windows name the fonts of a Japanese Windows desktop ("ＭＳ Ｐゴシック",
// Verdana, Arial). Elsewhere all of them are drawn in one installed Japanese
// family, so that a line mixing Latin letters and kana keeps one face and size;
// windows that name no font take ＭＳ Ｐゴシック 9 pt, a Japanese desktop's default.
namespace modFontSubstitutes {

void InstallFontSubstitutes();

} // namespace modFontSubstitutes
