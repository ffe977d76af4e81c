// wrap-gen: prints ConsoleFontTable.cpp, the console font's wrapping table,
// from Qt's layout on this machine (offscreen, no display needed).
#include <QGuiApplication>
#include <iostream>

#include "runtime/WrapGen.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const tarko::GeneratedWrapTable g = tarko::GenerateWrapTable();
    if (!g.error.empty()) {
        std::cerr << "wrap-gen: " << g.error << '\n';
        return 1;
    }
    std::cout << tarko::WrapTableSource(g);
    return 0;
}
