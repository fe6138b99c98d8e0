// SPDX-License-Identifier: Apache-2.0
#pragma once

// The tables of code page 932, generated at build time from cp932/cp932.txt
// (the conversion as Windows does it; the file says where it was taken from).
namespace modCp932Tables {

// The character of each byte alone; 0 for a lead byte.
extern const char16_t Singles[256];
// The character of each lead/trail pair, by lead row (0x81-0x9F rows 0-30,
// 0xE0-0xFC rows 31-59) and trail byte; 0 for a pair with no character.
extern const char16_t Pairs[60 * 256];

} // namespace modCp932Tables
