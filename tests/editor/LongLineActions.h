#pragma once
// The actions the long-line comparison applies to both editors: what each
// is, how it is named in a report, and how it reaches an editor as a window
// would deliver it.
#include "EditorTestKit.h"

#include <QApplication>
#include <QMimeData>
#include <QScrollBar>
#include <QtTest>

namespace {

enum class Kind {
    Key,        // Key with Mods
    Type,       // Text typed letter by letter
    Undo,       // N > 0: through the menu (the editor's undo()), else Ctrl+Z
    Redo,
    Save,       // the changed flag cleared, as saving does
    Click,      // at P with Mods
    DoubleClick,
    TripleClick,
    Drag,       // press at P, moves to Q, release; N > 0: a double click at P first
    DragSelection, // press inside the selection, move to Q, release
    Drop,       // Text dropped at P from elsewhere
    Scroll,     // scroll bars to line N and M pixels across
    Caret,      // caret to line N, column M (clamped), as a program puts it
    Preedit,    // an input method shows Text with its cursor at N, then commits it (M > 0) or drops it
};

struct Action {
    Kind kind = Kind::Key;
    int key = 0;
    Qt::KeyboardModifiers mods;
    QString text;
    QPoint p, q;
    int n = 0, m = 0;
};

QString keyName(int key)
{
    switch (key) {
    case Qt::Key_Left: return QStringLiteral("Left");
    case Qt::Key_Right: return QStringLiteral("Right");
    case Qt::Key_Up: return QStringLiteral("Up");
    case Qt::Key_Down: return QStringLiteral("Down");
    case Qt::Key_Home: return QStringLiteral("Home");
    case Qt::Key_End: return QStringLiteral("End");
    case Qt::Key_PageUp: return QStringLiteral("PgUp");
    case Qt::Key_PageDown: return QStringLiteral("PgDn");
    case Qt::Key_Backspace: return QStringLiteral("Backspace");
    case Qt::Key_Delete: return QStringLiteral("Delete");
    case Qt::Key_Return: return QStringLiteral("Return");
    default: return QString::number(key);
    }
}

QString modNames(Qt::KeyboardModifiers mods)
{
    QString s;
    if (mods & Qt::ControlModifier)
        s += QStringLiteral("Ctrl+");
    if (mods & Qt::ShiftModifier)
        s += QStringLiteral("Shift+");
    return s;
}

QString describe(const Action& a)
{
    auto pt = [](QPoint p) { return QStringLiteral("(%1,%2)").arg(p.x()).arg(p.y()); };
    switch (a.kind) {
    case Kind::Key: return modNames(a.mods) + keyName(a.key);
    case Kind::Type: return QStringLiteral("type \"%1\"").arg(a.text);
    case Kind::Undo: return a.n ? QStringLiteral("undo through the menu") : QStringLiteral("Ctrl+Z");
    case Kind::Redo: return a.n ? QStringLiteral("redo through the menu") : QStringLiteral("redo");
    case Kind::Save: return QStringLiteral("save (Modified cleared)");
    case Kind::Click: return modNames(a.mods) + QStringLiteral("click ") + pt(a.p);
    case Kind::DoubleClick: return QStringLiteral("double click ") + pt(a.p);
    case Kind::TripleClick: return QStringLiteral("triple click ") + pt(a.p);
    case Kind::Drag:
        return (a.n ? QStringLiteral("double-click-drag ") : QStringLiteral("drag ")) + pt(a.p) + QStringLiteral(" to ") + pt(a.q);
    case Kind::DragSelection: return QStringLiteral("drag the selection from its middle to ") + pt(a.q);
    case Kind::Drop: return QStringLiteral("drop \"%1\" at ").arg(a.text) + pt(a.p);
    case Kind::Scroll: return QStringLiteral("scroll to line %1, %2 px across").arg(a.n).arg(a.m);
    case Kind::Caret: return QStringLiteral("caret to line %1 column %2").arg(a.n).arg(a.m);
    case Kind::Preedit:
        return QStringLiteral("preedit \"%1\" cursor %2, %3").arg(a.text).arg(a.n).arg(a.m ? "committed" : "dropped");
    }
    return {};
}

QPoint middleOfSelection(TColorMemo& m)
{
    const QTextCursor c = m.textCursor();
    QTextCursor mid(m.document());
    mid.setPosition((c.selectionStart() + c.selectionEnd()) / 2);
    const QRect r = m.cursorRect(mid);
    return QPoint(r.x() + 1, r.center().y());
}

void sendKey(TColorMemo& m, int key, Qt::KeyboardModifiers mods, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(&m, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(&m, &release);
}

void sendSequence(TColorMemo& m, QKeySequence::StandardKey which)
{
    const QKeyCombination k = QKeySequence(which)[0];
    sendKey(m, k.key(), k.keyboardModifiers());
}

void dropText(TColorMemo& m, QPoint at, const QString& text)
{
    QMimeData data;
    data.setText(text);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m.viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m.viewport(), &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m.viewport(), &drop);
}

// A double click as a window delivers it, up to the second press (the
// button stays down): press, release, press and the double click.
void doubleClickDown(QWidget* vp, QPoint p)
{
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, p);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, p);
}

// Returns a text to compare that is not part of the state (the input
// method's caret box), or nothing.
QString apply(TColorMemo& m, const Action& a)
{
    QWidget* vp = m.viewport();
    QString extra;
    switch (a.kind) {
    case Kind::Key:
        sendKey(m, a.key, a.mods);
        break;
    case Kind::Type:
        for (const QChar ch : a.text)
            sendKey(m, ch == u'\t' ? Qt::Key_Tab : ch == u' ' ? Qt::Key_Space : Qt::Key_A, Qt::NoModifier, QString(ch));
        break;
    case Kind::Undo:
        if (a.n)
            m.undo();
        else
            sendSequence(m, QKeySequence::Undo);
        break;
    case Kind::Redo:
        if (a.n)
            m.redo();
        else
            sendSequence(m, QKeySequence::Redo);
        break;
    case Kind::Save:
        m.SetModified(false);
        break;
    case Kind::Click:
        QTest::mouseClick(vp, Qt::LeftButton, a.mods, a.p);
        break;
    case Kind::DoubleClick:
        doubleClickDown(vp, a.p);
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, a.p);
        break;
    case Kind::TripleClick:
        doubleClickDown(vp, a.p);
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, a.p);
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, a.p);
        break;
    case Kind::Drag:
        if (a.n)
            doubleClickDown(vp, a.p);
        else
            QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, a.p);
        QTest::mouseMove(vp, (a.p + a.q) / 2);
        QTest::mouseMove(vp, a.q);
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, a.q);
        break;
    case Kind::DragSelection: {
        const QPoint from = middleOfSelection(m);
        QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(vp, a.q);
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, a.q);
        break;
    }
    case Kind::Drop:
        dropText(m, a.p, a.text);
        break;
    case Kind::Scroll:
        m.verticalScrollBar()->setValue(a.n);
        // within the exact width of the widest line (see stateOf)
        m.horizontalScrollBar()->setValue(std::min(a.m, int(layoutOf(m).ExactWidth()) - m.viewport()->width()));
        break;
    case Kind::Caret:
        m.SetCaretLine(a.n);
        m.SetCaretColumn(a.m);
        break;
    case Kind::Preedit: {
        QInputMethodEvent show(a.text, {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, a.n, 1)});
        QApplication::sendEvent(&m, &show);
        const QRect r = m.inputMethodQuery(Qt::ImCursorRectangle).toRect();
        // in the text's coordinates: the view may follow it differently (see sameRange)
        extra = QStringLiteral("input method caret %1,%2 %3x%4")
                    .arg(r.x() + m.horizontalScrollBar()->value())
                    .arg(r.y())
                    .arg(r.width())
                    .arg(r.height());
        QInputMethodEvent done;
        if (a.m)
            done.setCommitString(a.text);
        QApplication::sendEvent(&m, &done);
        break;
    }
    }
    QCoreApplication::processEvents();
    return extra;
}

} // namespace
