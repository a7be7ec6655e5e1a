#pragma once

#include "hx_test_sandbox.h"
#include "vw_app.h"
#include "vw_video_file_list.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

// Lists a folder in the application's file list and waits for the list.
inline bool hxListFolder(const QString &folder)
{
    VwVideoFileList *list = VwVideoFileList::instance();
    QSignalSpy ended(list, &VwVideoFileList::listUpdateEnd);
    return list->loadFolder(folder) && (ended.count() > 0 || ended.wait(60000));
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
