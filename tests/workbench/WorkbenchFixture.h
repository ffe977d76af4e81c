#pragma once
// A main window with scripted dialogs, shown and active, for the workbench tests.
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "editor/ColMemo.h"
#include "workbench/Dialogs.h"
#include "workbench/MainForm.h"

namespace tarko {

// Every test process keeps its settings store in a folder of its own, and
// every workbench starts from an empty store.
inline void IsolateSettings(bool clear = true)
{
    static const QTemporaryDir dir;
    static const bool once = [] {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        return true;
    }();
    (void)once;
    if (clear)
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brimwold"), QStringLiteral("Tarko")).clear();
}

struct TWorkbench {
    TScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<TMainForm> form;

    // keepStore: start from what an earlier workbench of this test left.
    explicit TWorkbench(bool keepStore = false)
    {
        IsolateSettings(!keepStore);
        auto d = std::make_unique<TScriptedDialogs>();
        dialogs = d.get();
        form = std::make_unique<TMainForm>(std::move(d));
        form->show();
        form->activateWindow();
    }
    ~TWorkbench()
    {
        // Never leave a window with a pending prompt behind.
        for (int i = 0; i < TMainForm::TabCount; ++i)
            form->EditorAt(i)->SetModified(false);
    }
    bool Active() { return QTest::qWaitForWindowActive(form.get()); }

    // A key to the window that may start a run. A run still going after
    // `limitMs` is stopped, so a broken input path fails instead of hanging.
    bool stoppedByWatchdog = false;
    void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier, int limitMs = 8000)
    {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            if (form->RunState() != 1) {
                stoppedByWatchdog = true;
                form->Break1Click();
            }
        });
        watchdog.start(limitMs);
        QTest::keyClick(form.get(), key, mods);
    }

    // A new tab holding text (Qt text, '\n' line breaks), unchanged.
    TColorMemo* NewTab(const QString& name, const QString& text)
    {
        form->OpenTab(name);
        TColorMemo* e = form->CurrentEditor();
        e->setPlainText(text);
        e->SetModified(false);
        form->UpdateCaptionAndCommands();
        return e;
    }
};

} // namespace tarko
