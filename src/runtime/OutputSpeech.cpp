#include "runtime/OutputSpeech.h"

#include <QStringList>

namespace tarko {

void TOutputSpeech::Written(const QString& text)
{
    pending_ += text;
}

void TOutputSpeech::Clear()
{
    pending_.clear();
}

QString TOutputSpeech::Take()
{
    QString text = pending_;
    pending_.clear();
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString spoken = line.simplified();
        if (!spoken.isEmpty())
            lines << spoken;
    }
    if (lines.size() > MaxLines) {
        const qsizetype all = lines.size();
        lines = lines.mid(all - MaxLines);
        lines.prepend(QStringLiteral("Die letzten %1 von %2 Zeilen:").arg(MaxLines).arg(all));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace tarko
