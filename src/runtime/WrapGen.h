#pragma once
// Builds the console font's wrapping table (TableWrap.h) from Qt's own
// layout of the console font, and writes it as the C++ source of
// ConsoleFontTable.cpp. Needs a QGuiApplication.
#include <string>
#include <vector>

#include "runtime/TableWrap.h"

namespace tarko {

struct GeneratedWrapTable {
    ConsoleFontTable table{};
    std::vector<ConsoleFontTable::Kern> kerns;
    std::vector<ConsoleFontTable::Ligature> ligatures;
    std::string error;   // a break rule the table cannot hold
};

GeneratedWrapTable GenerateWrapTable();
std::string WrapTableSource(const GeneratedWrapTable& g);

} // namespace tarko
