#pragma once
// What a screen reader is told besides the keyboard focus, decided in plain
// C++ so that every front end tells the same: a run's console output in
// batches, a single step's line, a compile error's place. Texts are UTF-8.
//
// The output is gathered as it is written and told in batches at moments
// the front end picks (a number input begins, the run ends) or that
// DueInMs names (the output paused, or has waited long enough), so that a
// loop printing hundreds of lines does not queue hundreds of announcements.
#include <cstdint>
#include <string>
#include <string_view>

namespace tarko {

class TOutputSpeech {
public:
    // A longer batch is told by its newest lines, after how many there were.
    static constexpr int MaxLines = 10;
    // Told once the output has paused this long, and at the latest this
    // long after the oldest untold text (a program printing a line now and
    // then keeps being heard).
    static constexpr int64_t QuietMs = 400;
    static constexpr int64_t LongestWaitMs = 2000;

    // Text appended to the console at the time nowMs (any clock counting
    // milliseconds).
    void Written(std::string_view utf8, int64_t nowMs = 0);
    void Clear();   // drops what was not told yet
    bool Pending() const { return !pending_.empty(); }
    // Milliseconds until the pending output is due to be told at nowMs: 0
    // when it is due, -1 when nothing is pending.
    int64_t DueInMs(int64_t nowMs) const;
    // Everything written since the last call, as one announcement of its
    // non-blank lines (blanks inside a line collapsed), lines separated by
    // "\n"; empty when there is nothing to say.
    std::string Take();

private:
    std::string pending_;
    int64_t firstMs_ = 0;   // when the oldest untold text was written
    int64_t lastMs_ = 0;    // when the newest was
};

// A single step about to execute a line, counted from 1: "Zeile 4: Ausgabe x"
// (the line's text with its blanks collapsed; the number alone for a blank line).
std::string StepAnnouncement(int line, std::string_view lineText);

// A compile error at a place counted from 1: "Zeile 1, Spalte 15: ) erwartet".
std::string CompileErrorAnnouncement(int line, int column, std::string_view message);

} // namespace tarko
