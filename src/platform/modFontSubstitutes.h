#pragma once

// The windows name the fonts of a Japanese Windows desktop ("ＭＳ Ｐゴシック",
// Verdana, Arial). Where they are missing, Qt falls back to installed fonts
// that render Japanese well.
namespace modFontSubstitutes {

void InstallFontSubstitutes();

} // namespace modFontSubstitutes
