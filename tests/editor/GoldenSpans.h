#pragma once
// The coloured runs of a whole program under the workbench rules, as text:
// one line per run, "first-last level colour: text" (text in UTF-8, line
// breaks shown as \r\n). Used by the golden-file test and its regenerator.
#include "editor/Overlay.h"
#include "editor/WorkbenchScheme.h"
#include "language/Cp1252.h"

#include <string>

namespace tarko {

inline std::string GoldenSpans(const std::string& winText)
{
    TColorOverlay o;
    o.Rules = WorkbenchColorRules();
    TOverlayInput in;
    in.Text = winText; // every line visible
    in.WantTabs = true;
    o.Build(in);
    std::string out;
    for (int i = 0; i < o.RunCount(); ++i) {
        const TKeyDescr& r = o.Runs()[i];
        const char* colour = r.SpanColor == clRed ? "red" : r.SpanColor == clBlue ? "blue"
            : r.SpanColor == clFuchsia ? "fuchsia" : "other";
        if (r.Level == 255)
            colour = "tab";
        std::string text;
        for (int p = r.StartPos; p <= r.EndPos; ++p) {
            const char c = winText[size_t(p)];
            text += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : std::string(1, c);
        }
        out += std::to_string(r.StartPos) + "-" + std::to_string(r.EndPos) + " " + std::to_string(int(r.Level)) + " "
            + colour + ": " + Cp1252ToUtf8(text) + "\n";
    }
    return out;
}

} // namespace tarko
