#include "runtime/OutputSpeech.h"

#include <algorithm>
#include <vector>

namespace tarko {

namespace {

// ASCII blanks and line breaks, and the no-break space the console shows
// for Windows-1252 byte A0: none of them is worth a word.
size_t BlankAt(std::string_view s, size_t i)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == ' ' || c == '\t' || c == '\f' || c == '\v')
        return 1;
    if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xA0)
        return 2;
    return 0;
}

// The line with its blanks collapsed to one and none at either end.
std::string Collapsed(std::string_view line)
{
    std::string out;
    bool gap = false;
    for (size_t i = 0; i < line.size();) {
        if (const size_t n = BlankAt(line, i)) {
            gap = true;
            i += n;
            continue;
        }
        if (gap && !out.empty())
            out += ' ';
        gap = false;
        out += line[i++];
    }
    return out;
}

} // namespace

void TOutputSpeech::Written(std::string_view utf8, int64_t nowMs)
{
    if (utf8.empty())
        return;
    if (pending_.empty())
        firstMs_ = nowMs;
    pending_ += utf8;
    lastMs_ = nowMs;
}

void TOutputSpeech::Clear()
{
    pending_.clear();
}

int64_t TOutputSpeech::DueInMs(int64_t nowMs) const
{
    if (pending_.empty())
        return -1;
    const int64_t quiet = QuietMs - (nowMs - lastMs_);
    const int64_t longest = LongestWaitMs - (nowMs - firstMs_);
    return std::max<int64_t>(0, std::min(quiet, longest));
}

std::string TOutputSpeech::Take()
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i <= pending_.size(); ++i) {
        if (i < pending_.size() && pending_[i] != '\r' && pending_[i] != '\n')
            continue;
        std::string spoken = Collapsed(std::string_view(pending_).substr(start, i - start));
        if (!spoken.empty())
            lines.push_back(std::move(spoken));
        start = i + 1;
    }
    pending_.clear();
    std::string told;
    size_t first = 0;
    if (lines.size() > size_t(MaxLines)) {
        first = lines.size() - size_t(MaxLines);
        told = "Die letzten " + std::to_string(MaxLines) + " von " + std::to_string(lines.size()) + " Zeilen:";
    }
    for (size_t i = first; i < lines.size(); ++i) {
        if (!told.empty())
            told += '\n';
        told += lines[i];
    }
    return told;
}

std::string StepAnnouncement(int line, std::string_view lineText)
{
    std::string told = "Zeile " + std::to_string(line);
    const std::string text = Collapsed(lineText);
    if (!text.empty())
        told += ": " + text;
    return told;
}

std::string CompileErrorAnnouncement(int line, int column, std::string_view message)
{
    return "Zeile " + std::to_string(line) + ", Spalte " + std::to_string(column) + ": " + Collapsed(message);
}

} // namespace tarko
