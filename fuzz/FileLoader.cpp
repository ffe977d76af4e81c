// A program file as it may come from any editor: Windows-1252 bytes with any
// mix of CR LF, lone CR and lone LF. Loading must keep every byte, turn each
// line end into one editor line break, give back exactly the file with CR LF
// line ends, and map offsets between the editor and the file both ways.
#include <QGuiApplication>
#include <QTextDocument>
#include <cstdint>
#include <string>

#include "editor/WinText.h"
#include "FuzzInput.h"

using namespace tarko;

namespace {

// The file with every line end written as CR LF.
std::string WithCrLf(const std::string& bytes)
{
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            out += "\r\n";
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            out += bytes[i];
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    const QString text = FromWinText(file);
    const std::string expected = WithCrLf(file);
    fuzz::Require(ToWinText(text) == expected, "the text is saved back as it was loaded");
    fuzz::Require(!text.contains(u'\r'), "no CR is left in the editor");

    if (size > 4096)
        return 0;   // the offset walk below is quadratic in the document layout
    QTextDocument doc;
    doc.setPlainText(text);
    const int chars = doc.characterCount() - 1;   // without the document's final paragraph mark
    int previous = -1;
    for (int pos = 0; pos <= chars; ++pos) {
        const int win = WinOffsetFromDocPos(doc, pos);
        fuzz::Require(win > previous && win <= int(expected.size()), "file offsets grow with editor positions");
        fuzz::Require(DocPosFromWinOffset(doc, win) == pos, "an offset maps back to its position");
        previous = win;
    }
    return 0;
}
