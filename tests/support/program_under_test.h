#pragma once

// What the window tests share: the program object started on a small
// galaxy with a scripted prompter, and torn down without leaving a window.

#include <QApplication>
#include <QWidget>
#include <QtTest>
#include <memory>

#include "app/zyr_app.h"
#include "model/galaxy.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

// Starts the program object as main() does, given the command line after the
// program's name, with every dialog answered by the returned scripted
// prompter; the galaxy settings are the caller's. Check
// QTest::currentTestFailed() afterwards.
inline ScriptedPrompter* startProgram(std::unique_ptr<CZyrApp>& app, const QStringList& commandLine = {}) {
    app = std::make_unique<CZyrApp>(commandLine);
    auto prompter = std::make_unique<ScriptedPrompter>();
    ScriptedPrompter* scripted = prompter.get();
    app->setPrompter(std::move(prompter));
    [&] {
        QVERIFY(app->InitInstance());
        // Immediate repaints reach only windows the platform has exposed.
        QVERIFY(QTest::qWaitForWindowExposed(app->mainFrame()));
    }();
    return scripted;
}

// The same on a galaxy of the given size and seed.
inline ScriptedPrompter* startProgram(std::unique_ptr<CZyrApp>& app, int stars, unsigned seed) {
    g_galaxy.requestedStars = stars;
    g_galaxy.randomSeed = seed;
    return startProgram(app);
}

// Ends the program object and checks that no top-level window outlives it.
inline void stopProgram(std::unique_ptr<CZyrApp>& app) {
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}
