#pragma once

#include "hx_test_sandbox.h"
#include "vw_app.h"
#include "vw_player_base.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "window_main.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

// Lists a folder in the application's file list and waits for the list.
inline bool hxListFolder(const QString &folder)
{
    VwVideoFileList *list = VwVideoFileList::instance();
    QSignalSpy ended(list, &VwVideoFileList::listUpdateEnd);
    return list->loadFolder(folder) && (ended.count() > 0 || ended.wait(60000));
}

// The main window, shown; null when it never reaches the screen.
inline WindowMain *hxShowMainWindow()
{
    WindowMain *window = WindowMain::instance();
    window->show();
    return QTest::qWaitForWindowExposed(window) ? window : nullptr;
}

// The first listed recording whose file name begins with `name`.
inline VwVideoItem *hxListedItem(const QString &name)
{
    for (const VwVideoItemPtr &item : VwVideoFileList::instance()->allItems()) {
        if (QFileInfo(item->primaryPath()).fileName().startsWith(name))
            return item.data();
    }
    return nullptr;
}

// Saves a picture of `widget` as `name` in the folder HX_SCREENSHOT_DIR
// names, for a person to look at; true when no folder is named.
inline bool hxSaveScreenshot(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("HX_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return true;
    qInfo("%s", qPrintable(QDir(folder).filePath(name)));
    return QDir().mkpath(folder) && widget->grab().save(QDir(folder).filePath(name));
}

// Runs `action` and waits until `player` announces `event`, for `item` when
// one is given.
template <typename Action>
bool hxRunUntil(VwPlayerBase *player, Action action, PLAY_EVENT event, VwVideoItem *item = nullptr)
{
    QSignalSpy events(player, &VwPlayerBase::playEvent);
    action();
    return QTest::qWaitFor([&] {
        return std::any_of(events.cbegin(), events.cend(), [&](const QList<QVariant> &e) {
            return e.at(0).value<PLAY_EVENT>() == event && (!item || e.at(1).value<VwVideoItem *>() == item);
        });
    }, 30000);
}

// The whole viewer application in a sandboxed home, then the test.
#define HX_TEST_VIEWER_MAIN(TestClass)                                                                       \
    int main(int argc, char **argv)                                                                          \
    {                                                                                                        \
        HxTestSandbox sandbox;                                                                               \
        QApplication application(argc, argv);                                                                \
        VwApp::instance()->initialize(&application);                                                         \
        TestClass test;                                                                                      \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
