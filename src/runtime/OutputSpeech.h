#pragma once
// What a screen reader is told of a run's console output. The text is
// gathered as it is written and told in batches at moments the caller
// picks (a number input begins, the output pauses, the run ends), so that a
// loop printing hundreds of lines does not queue hundreds of announcements.
#include <QString>

namespace tarko {

class TOutputSpeech {
public:
    // A longer batch is told by its newest lines, after how many there were.
    static constexpr int MaxLines = 10;

    void Written(const QString& text);   // text appended to the console
    void Clear();                         // drops what was not told yet
    bool Pending() const { return !pending_.isEmpty(); }
    // Everything written since the last call, as one announcement of its
    // non-blank lines; empty when there is nothing to say.
    QString Take();

private:
    QString pending_;
};

} // namespace tarko
