#pragma once
// The run console's line limit, decided in one place for the workbench and
// tarko-run: the console's text is counted in displayed lines, every wrapped
// piece of a long line counting, as the console shows the text at its design
// size (100 %). A zoomed console shows the same text larger but is counted
// at 100 %, so the zoom never changes what a program does.
//
// Plain C++: how a line of text wraps is asked of a LineWrap, which the Qt
// side implements with the console's font and width (ConsoleWrap.h).
#include <string>
#include <string_view>

namespace tarko {

class LineWrap {
public:
    virtual ~LineWrap() = default;
    // Wraps one line of console text (UTF-16, no line break, not empty) as
    // the console at 100 % does. Returns the number of displayed lines and
    // sets *lastStart to the index where the last of them begins.
    virtual int Wrap(const std::u16string& line, size_t* lastStart) const = 0;
};

class ConsoleLines {
public:
    // At this many displayed lines the next output ends the run.
    static constexpr int Limit = 999;
    // What the console shows instead: two lines of their own (after a line
    // break when its last line holds text).
    static std::string AbortText(bool lineOpen)
    {
        return std::string(lineOpen ? "\r\n" : "") + "Programmabbruch\r\nZuviele Zeilen\r\n";
    }

    explicit ConsoleLines(const LineWrap& wrap) : wrap_(wrap) {}

    void Clear();
    // Text as it is appended to the console (Windows-1252): CR LF, a lone
    // CR and a lone LF each end a line, as the console takes them.
    void Append(std::string_view cp1252);
    // Displayed lines; an empty last line is not counted.
    int Count() const { return complete_ + settled_ + (tail_.empty() ? 0 : tailLines_); }
    bool Full() const { return Count() >= Limit; }

private:
    void EndLine();
    void Rewrap();

    const LineWrap& wrap_;
    int complete_ = 0;     // displayed lines of the lines ended by a line break
    // The open (last) line: its displayed lines before the last one are
    // settled, since appending text never moves an earlier break; only the
    // last displayed line (tail_) is wrapped again after each write.
    int settled_ = 0;
    std::u16string tail_;
    int tailLines_ = 0;    // displayed lines of tail_ (1 once wrapped, 0 when empty)
};

// The console as a stream of text, for the hosts that write it out instead
// of showing it in the workbench's console (tarko-run, the browser edition):
// each output becomes the text to append, with '\n' for every line break the
// console takes, and the line limit ends the run as the console ends it.
class ConsoleStream {
public:
    explicit ConsoleStream(const LineWrap& wrap) : lines_(wrap) {}

    // "Löschen": the console is empty again.
    void Clear();
    // A new run: empty, and no CR waiting for its LF.
    void Reset();
    // Output s (Windows-1252): the text to append. Once the console is full,
    // the two abort lines instead, and *stop is set.
    std::string Write(std::string_view s, bool* stop);
    // A typed number, shown whatever the count: the text to append.
    std::string Append(std::string_view s);
    // A typed number a terminal has echoed already: counted only.
    void Count(std::string_view s) { lines_.Append(s); }

private:

    ConsoleLines lines_;       // the displayed lines since the last clear
    bool lastWasCr_ = false;
    bool lineOpen_ = false;    // the last line holds text
};

} // namespace tarko
