#include "workbench/Settings.h"

#include <QFile>
#include <QFontDatabase>
#include <QSettings>

#include <algorithm>

#include "runtime/ZoomLevels.h"

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

QRect FitWindowRect(const QRect& stored, const QList<QRect>& areas, const QSize& minimum)
{
    if (areas.isEmpty())
        return stored;
    QRect area = areas.first();
    qint64 best = 0;
    for (const QRect& a : areas) {
        const QRect common = a.intersected(stored);
        const qint64 overlap = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (overlap > best) {
            best = overlap;
            area = a;
        }
    }
    const int width = std::clamp(stored.width(), minimum.width(), std::max(area.width(), minimum.width()));
    const int height = std::clamp(stored.height(), minimum.height(), std::max(area.height(), minimum.height()));
    // Where the window is larger than the area (a very small screen), its top left stays visible.
    const int left = std::max(area.left(), std::min(stored.left(), area.left() + area.width() - width));
    const int top = std::max(area.top(), std::min(stored.top(), area.top() + area.height() - height));
    return QRect(left, top, width, height);
}

QFont EditorDrawingFont(const QFont& stored)
{
    QFont font = stored;
    const QList<int> sizes = QFontDatabase::standardSizes();
    const int smallest = sizes.isEmpty() ? 6 : sizes.first();
    const int largest = sizes.isEmpty() ? 72 : sizes.last();
    if (font.pointSize() > 0)
        font.setPointSize(std::clamp(font.pointSize(), smallest, largest));
    return font;
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
    inis.Font = QFont(QStringLiteral("Courier New"));
    // One name, whatever it holds: QFont's constructor would read a comma
    // as a list of names and keep only the first at the next shut-down.
    if (!name.isEmpty())
        inis.Font.setFamily(name);
    const int size = ReadInteger(s, QStringLiteral("Font/Size"), 10);
    inis.Font.setPointSize(size > 0 ? size : 10);
    inis.FontCharSet = ReadInteger(s, QStringLiteral("Font/CharSet"), 1) & 0xFF;
    SetFontStyleBits(inis.Font, ReadInteger(s, QStringLiteral("Font/Style"), 0));
    // A zoom level; written only once the window has been zoomed, so a
    // store that never was keeps exactly its keys.
    inis.Zoom = ZoomLevelOf(ReadInteger(s, QStringLiteral("Ansicht/Zoom"), NoZoom));
    // Likewise written only once the colours have been switched.
    inis.HighContrast = ReadInteger(s, QStringLiteral("Ansicht/Kontrast"), 0) != 0;
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
    if (inis.Zoom != NoZoom || s.contains(QStringLiteral("Ansicht/Zoom")))
        s.setValue(QStringLiteral("Ansicht/Zoom"), Text(inis.Zoom));
    if (inis.HighContrast || s.contains(QStringLiteral("Ansicht/Kontrast")))
        s.setValue(QStringLiteral("Ansicht/Kontrast"), Text(inis.HighContrast));
    s.sync();
}

} // namespace tarko
