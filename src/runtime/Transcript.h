#pragma once
// Console transcripts (UTF-8) compared line by line: what tarko-run --expect,
// the checks of a task and the browser's "Prüfen" share. CR LF and LF end a
// line; the end of the text ends the last line, with or without a line end.
#include <optional>
#include <string>
#include <vector>

namespace tarko {

std::vector<std::string> TranscriptLines(const std::string& text);

// The first line where two transcripts differ (1-based); a side that has
// already ended has no text there.
struct TranscriptDifference {
    int line = 0;
    std::optional<std::string> expected, actual;
};

std::optional<TranscriptDifference> FirstDifference(const std::string& expected, const std::string& actual);

// "sha256:" and the hex digest of the transcript's lines, each ended by LF:
// two transcripts have the same hash exactly when FirstDifference finds none.
std::string TranscriptHash(const std::string& text);

// How a difference reads for a pupil and in tarko-run's report:
// Ausgabezeile 2: erwartet "x", erhalten nichts (Ausgabe zu Ende)
std::string DifferenceText(const TranscriptDifference& d);

// A text in double quotes; quotes and backslashes escaped, control
// characters as \xNN (or as \uNNNN for JSON).
std::string QuotedText(const std::string& utf8, bool json = false);

} // namespace tarko
