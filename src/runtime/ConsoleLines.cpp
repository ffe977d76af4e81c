#include "runtime/ConsoleLines.h"

#include "language/Cp1252.h"

namespace tarko {

void ConsoleLines::Clear()
{
    complete_ = settled_ = tailLines_ = 0;
    tail_.clear();
}

void ConsoleLines::EndLine()
{
    // An empty line is one displayed line once a line follows it.
    complete_ += tail_.empty() && settled_ == 0 ? 1 : settled_ + tailLines_;
    settled_ = tailLines_ = 0;
    tail_.clear();
}

void ConsoleLines::Rewrap()
{
    if (tail_.empty())
        return;
    size_t lastStart = 0;
    const int n = wrap_.Wrap(tail_, &lastStart);
    settled_ += n - 1;
    tail_.erase(0, lastStart);
    tailLines_ = 1;
}

void ConsoleLines::Append(std::string_view cp1252)
{
    bool changed = false;
    for (size_t i = 0; i < cp1252.size(); ++i) {
        const auto b = static_cast<unsigned char>(cp1252[i]);
        if (b == '\r' || b == '\n') {
            if (changed)
                Rewrap();
            changed = false;
            EndLine();
            if (b == '\r' && i + 1 < cp1252.size() && cp1252[i + 1] == '\n')
                ++i;
        } else {
            tail_ += static_cast<char16_t>(Cp1252ToUnicode(b));
            changed = true;
        }
    }
    if (changed)
        Rewrap();
}

void ConsoleStream::Clear()
{
    lines_.Clear();
    lineOpen_ = false;
}

void ConsoleStream::Reset()
{
    Clear();
    lastWasCr_ = false;
}

std::string ConsoleStream::Write(std::string_view s, bool* stop)
{
    if (!lines_.Full())
        return Append(s);
    *stop = true;
    return Append(ConsoleLines::AbortText(lineOpen_));
}

// CR LF, a lone CR and a lone LF each become one '\n'.
std::string ConsoleStream::Append(std::string_view s)
{
    lines_.Append(s);
    std::string text;
    text.reserve(s.size());
    for (char c : s) {
        if (c == '\n' && lastWasCr_) {
            lastWasCr_ = false;
            continue;
        }
        lastWasCr_ = c == '\r';
        lineOpen_ = !(c == '\r' || c == '\n');
        text += lineOpen_ ? c : '\n';
    }
    return text;
}

} // namespace tarko
