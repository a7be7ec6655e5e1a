#pragma once

#include "hx_test_sandbox.h"
#include "vw_app.h"
#include "vw_player_base.h"
#include "vw_video_file_list.h"

#include <QApplication>
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
