// What the colour overlay costs on one line of 1 MB (`Ausgabe "abc" 1 `
// repeated) with the workbench rules: the whole line, and only a visible
// window of 200 characters in its middle or at its end (strings and
// comments are still searched from the line's start up to the window);
// then one letter typed just before the window between two Builds, with
// UnchangedBefore at the letter, so the searches take up near it. Medians
// in milliseconds; reported, not asserted. Usage: bench-overlay [ROUNDS]
#include "editor/Overlay.h"
#include "editor/WorkbenchScheme.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace tarko;

namespace {

double medianMs(int rounds, TColorOverlay& o, const TOverlayInput& in, int& runs)
{
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        runs = o.Build(in);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::nth_element(ms.begin(), ms.begin() + rounds / 2, ms.end());
    return ms[size_t(rounds / 2)];
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 50);
    std::string line;
    while (line.size() < (1u << 20))
        line += "Ausgabe \"abc\" 1 ";
    TColorOverlay o;
    o.Rules = WorkbenchColorRules();
    TOverlayInput in;
    in.Text = line;
    in.RedrawAlways = true; // the caret's line is recoloured from its start
    in.SelStart = in.CaretColumn = int(line.size() / 2);
    int runs = 0;
    std::printf("colour overlay, 1 MB line, workbench rules, median of %d rounds\n", rounds);
    const double whole = medianMs(rounds, o, in, runs);
    std::printf("  whole line:                      %9.3f ms  %7d runs\n", whole, runs);
    const int end = int(line.size()) - 1;
    for (const TScanWindow window : {TScanWindow{in.SelStart - 100, in.SelStart + 99}, TScanWindow{end - 199, end}}) {
        in.Windows = {&window, 1};
        const double visible = medianMs(rounds, o, in, runs);
        std::printf("  200-character window, %-6s:   %9.3f ms  %7d runs  (whole / window %.1f)\n",
                    window.To == end ? "end" : "middle", visible, runs, whole / visible);
    }
    // Typing: each round inserts a letter just before the window and
    // builds with the letter's position as UnchangedBefore.
    for (const bool atEnd : {false, true}) {
        std::string typed = line;
        TColorOverlay t;
        t.Rules = WorkbenchColorRules();
        TOverlayInput ti = in;
        const int at = atEnd ? int(typed.size()) - 200 : int(typed.size() / 2) - 100;
        std::vector<double> ms, cold;
        const auto timed = [&](int unchanged, std::vector<double>& into) {
            ti.UnchangedBefore = unchanged;
            const auto t0 = std::chrono::steady_clock::now();
            runs = t.Build(ti);
            into.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        };
        for (int i = 0; i < rounds; ++i) {
            const TScanWindow window{at + i + 1, at + i + 200};
            ti.Text = typed;
            ti.Windows = {&window, 1};
            ti.SelStart = ti.CaretColumn = at + i + 1;
            ti.UnchangedBefore = 0;
            t.Build(ti); // the paint before the letter: reads from the scan start
            typed.insert(size_t(at) + size_t(i), "x");
            ti.Text = typed;
            timed(at + i, ms);  // the letter's position
            timed(0, cold);     // nothing known: from the scan start
        }
        std::nth_element(ms.begin(), ms.begin() + rounds / 2, ms.end());
        std::nth_element(cold.begin(), cold.begin() + rounds / 2, cold.end());
        std::printf("  letter typed before the window, %-6s: %7.3f ms  %7d runs  (from the scan start %.3f ms, ratio %.1f)\n",
                    atEnd ? "end" : "middle", ms[size_t(rounds / 2)], runs, cold[size_t(rounds / 2)],
                    cold[size_t(rounds / 2)] / ms[size_t(rounds / 2)]);
    }
}
