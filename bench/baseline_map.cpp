// SPDX-License-Identifier: Apache-2.0
// lumivo-baseline-map TABLE.csv: the plain way to answer a list of numbers,
// for comparison with lumivo-lookup: the prefix table in a std::unordered_map,
// the longest prefix of 9 down to 6 digits per number, the same output lines
// (number, TAB, code, TAB, text; "0" for none) for numbers of 11 digits.

#include "modCarrierTable.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <unordered_map>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        fprintf(stderr, "usage: lumivo-baseline-map TABLE.csv < numbers\n");
        return 2;
    }
    std::unordered_map<std::string, std::string> texts;
    const QStringList codes = modCarrierTable::AllCodes() << QStringLiteral("0");
    for (const QString& code : codes)
        texts[code.toStdString()] =
            modCarrierTable::LookupCarrier(code).text.toString().toStdString();
    std::unordered_map<std::string, std::string> prefixes;
    std::ifstream table(argv[1]);
    for (std::string line; std::getline(table, line);) {
        const size_t comma = line.find(',');
        if (comma != std::string::npos && comma > 0 && line[0] >= '0' && line[0] <= '9')
            prefixes[line.substr(0, comma)] = line.substr(comma + 1, 4);
    }
    std::ios::sync_with_stdio(false);
    std::string out, line;
    const std::string none = "0";
    while (std::getline(std::cin, line)) {
        const std::string* code = &none;
        for (size_t n = 9; n >= 6 && code == &none; --n)
            if (auto it = prefixes.find(line.substr(0, n)); it != prefixes.end())
                code = &it->second;
        out += line;
        out += '\t';
        out += *code;
        out += '\t';
        out += texts.count(*code) ? texts[*code] : texts["0"];
        out += '\n';
        if (out.size() > (1 << 20)) {
            fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
