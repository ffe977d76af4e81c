#include "workbench/Settings.h"

#include <QFile>
#include <QSettings>

#include <algorithm>

namespace tarko {

namespace {

constexpr int NoSavedPosition = -9999;

QSettings Store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brimwold"),
                     QStringLiteral("Tarko"));
}

int ReadInteger(const QSettings& s, const QString& key, int fallback)
{
    bool ok = false;
    const int v = s.value(key).toString().trimmed().toInt(&ok, 10);
    return ok ? v : fallback;
}

// The text after "key=" in the section of the store's file, as written;
// null when the line is not there or holds quotes or escapes, whose
// meaning only the store knows.
QString RawValue(const QString& fileName, const QString& key)
{
    const qsizetype slash = key.indexOf(u'/');
    const QString section = QLatin1Char('[') + key.left(slash) + QLatin1Char(']');
    const QString name = key.mid(slash + 1);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inSection = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inSection = line == section;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inSection || eq < 0 || line.left(eq).trimmed() != name)
            continue;
        const QString value = line.mid(eq + 1).trimmed();
        if (value.contains(u'"') || value.contains(u'\\') || value.contains(u';'))
            return {};
        return value;
    }
    return {};
}

// A string value as written. The store reads a value with an unquoted
// comma (typed by hand or written by another tool) as a list, which would
// come out empty and be written back empty.
QString ReadString(const QSettings& s, const QString& key)
{
    const QVariant value = s.value(key);
    if (value.typeId() != QMetaType::QStringList)
        return value.toString();
    const QString raw = RawValue(s.fileName(), key);
    return raw.isNull() ? value.toStringList().join(u',') : raw;
}

QString Text(int v) { return QString::number(v); }
QString Text(bool v) { return v ? QStringLiteral("1") : QStringLiteral("0"); }

} // namespace

int TabStopPixels(int tabs)
{
    constexpr int MaxUnits = 1000;
    return 8 * std::clamp(tabs, 0, MaxUnits);
}

int FontStyleBits(const QFont& font)
{
    return (font.bold() ? 1 : 0) | (font.italic() ? 2 : 0) | (font.underline() ? 4 : 0) |
           (font.strikeOut() ? 8 : 0);
}

void SetFontStyleBits(QFont& font, int bits)
{
    font.setBold(bits & 1);
    font.setItalic(bits & 2);
    font.setUnderline(bits & 4);
    font.setStrikeOut(bits & 8);
}

TInis ReadSettings(TFormPos* formPos)
{
    TInis inis;
    QSettings s = Store();
    inis.ProjectDir = ReadString(s, QStringLiteral("Settings/ProjectDir"));
    inis.HilfeDir = ReadString(s, QStringLiteral("Settings/HilfeDir"));
    inis.Tabs = ReadInteger(s, QStringLiteral("Settings/Tabs"), 2);
    inis.AutoTab = ReadInteger(s, QStringLiteral("Settings/AutoTab"), 1) != 0;
    inis.AutoFormat = ReadInteger(s, QStringLiteral("Settings/AutoFormat"), 1) != 0;
    for (int i = 0; i < 5; ++i)
        inis.Files[i] = ReadString(s, QStringLiteral("Files/File%1").arg(i + 1));
    const QString name = ReadString(s, QStringLiteral("Font/Name"));
    inis.Font = QFont(name.isEmpty() ? QStringLiteral("Courier New") : name);
    const int size = ReadInteger(s, QStringLiteral("Font/Size"), 10);
    inis.Font.setPointSize(size > 0 ? size : 10);
    inis.FontCharSet = ReadInteger(s, QStringLiteral("Font/CharSet"), 1) & 0xFF;
    SetFontStyleBits(inis.Font, ReadInteger(s, QStringLiteral("Font/Style"), 0));
    if (formPos) {
        const int left = ReadInteger(s, QStringLiteral("FormPos/Left"), NoSavedPosition);
        formPos->saved = left != NoSavedPosition;
        if (formPos->saved)
            formPos->rect = QRect(left, ReadInteger(s, QStringLiteral("FormPos/Top"), 30),
                                  ReadInteger(s, QStringLiteral("FormPos/Width"), 30),
                                  ReadInteger(s, QStringLiteral("FormPos/Height"), 30));
    }
    return inis;
}

void WriteSettings(const TInis& inis, const QRect& formPos)
{
    QSettings s = Store();
    s.setValue(QStringLiteral("Settings/ProjectDir"), inis.ProjectDir);
    s.setValue(QStringLiteral("Settings/HilfeDir"), inis.HilfeDir);
    s.setValue(QStringLiteral("Settings/AutoTab"), Text(inis.AutoTab));
    s.setValue(QStringLiteral("Settings/Tabs"), Text(inis.Tabs));
    s.setValue(QStringLiteral("Settings/AutoFormat"), Text(inis.AutoFormat));
    s.setValue(QStringLiteral("Font/Name"), inis.Font.family());
    s.setValue(QStringLiteral("Font/Size"), Text(inis.Font.pointSize()));
    s.setValue(QStringLiteral("Font/CharSet"), Text(inis.FontCharSet & 0xFF));
    s.setValue(QStringLiteral("Font/Style"), Text(FontStyleBits(inis.Font) & 0xFF));
    s.setValue(QStringLiteral("FormPos/Left"), Text(formPos.x()));
    s.setValue(QStringLiteral("FormPos/Top"), Text(formPos.y()));
    s.setValue(QStringLiteral("FormPos/Width"), Text(formPos.width()));
    s.setValue(QStringLiteral("FormPos/Height"), Text(formPos.height()));
    for (int i = 0; i < 5; ++i)
        s.setValue(QStringLiteral("Files/File%1").arg(i + 1), inis.Files[i]);
    s.sync();
}

} // namespace tarko
