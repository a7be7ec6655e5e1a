#include "hx_test_viewer.h"
#include "title_widget.h"
#include "vw_app.h"
#include "vw_button.h"
#include "vw_dialog_overwrite.h"
#include "vw_dialog_overwrite_sys.h"
#include "vw_dialog_progress.h"
#include "vw_language.h"
#include "vw_video_file_list.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TestVwDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void overwriteAnswers_data();
    void overwriteAnswers();
    void overwriteSysAnswers();
    void progressIsSingleAndFollowsList();
    void progressCancelsOnce_data();
    void progressCancelsOnce();
};

void TestVwDialogs::cleanup()
{
    VwDialogProgress::closeProgress();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    VwLanguage::instance()->language = VwLanguage::LANGUAGE_JAPANESE;
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestVwDialogs::overwriteAnswers_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("remaining");
    QTest::addColumn<bool>("check");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("boxText");

    QTest::newRow("skip, one left") << 1 << 1 << false << "skip" << 2 << QString();
    QTest::newRow("overwrite, one left") << 2 << 1 << false << "overwrite" << 4 << QString();
    QTest::newRow("skip all") << 1 << 3 << true << "skip" << 18
                              << QStringLiteral("同じ処理を次の3個の競合に適用");
    QTest::newRow("overwrite all") << 2 << 2 << true << "overwrite" << 20
                                   << QStringLiteral("Apply to next 2 files.");
    QTest::newRow("overwrite, box left unchecked") << 1 << 2 << false << "overwrite" << 4
                                                   << QStringLiteral("同じ処理を次の2個の競合に適用");
    QTest::newRow("cancel") << 1 << 3 << true << "cancel" << 0
                            << QStringLiteral("同じ処理を次の3個の競合に適用");
    QTest::newRow("title close") << 2 << 1 << false << "close" << 0 << QString();
    QTest::newRow("escape") << 2 << 1 << false << "escape" << 0 << QString();
}

void TestVwDialogs::overwriteAnswers()
{
    QFETCH(int, language);
    QFETCH(int, remaining);
    QFETCH(bool, check);
    QFETCH(QString, answer);
    QFETCH(int, result);
    QFETCH(QString, boxText);

    VwLanguage::instance()->language = VwLanguage::LANGUAGE_TYPE(language);
    VwDialogOverwrite dialog(nullptr, QStringLiteral("NORM230415-081502F.MP4"), remaining);
    QCOMPARE(dialog.size(), QSize(392, 266));
    const QList<QLabel *> labels = dialog.findChildren<QLabel *>(QStringLiteral("text_header_label"));
    QCOMPARE(labels.size(), 2);
    QCOMPARE(labels.at(0)->text(), language == 1 ? QStringLiteral("この場所に同じ名前のファイルがあります。")
                                                 : QStringLiteral("File already exists."));
    QCOMPARE(labels.at(1)->text(), QStringLiteral("NORM230415-081502F.MP4"));
    QCOMPARE(dialog.titleWidget()->titleLabel()->text(),
             language == 1 ? QStringLiteral("ファイルの保存") : QStringLiteral("Backup files"));
    QCOMPARE(dialog.applyToAllBox() != nullptr, !boxText.isEmpty());
    if (dialog.applyToAllBox()) {
        QCOMPARE(dialog.applyToAllBox()->text(), boxText);
        QVERIFY(!dialog.applyToAllBox()->isChecked());
        dialog.applyToAllBox()->setChecked(check);
    }

    QTimer::singleShot(0, &dialog, [&dialog, answer] {
        if (answer == QLatin1String("skip"))
            dialog.skipButton()->click();
        else if (answer == QLatin1String("overwrite"))
            dialog.overwriteButton()->click();
        else if (answer == QLatin1String("cancel"))
            dialog.cancelButton()->click();
        else if (answer == QLatin1String("close"))
            dialog.titleWidget()->closeButton()->click();
        else
            QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QCOMPARE(dialog.exec(), result);
}

void TestVwDialogs::overwriteSysAnswers()
{
    for (int button = 0; button < 3; ++button) {
        VwDialogOverwriteSys dialog(nullptr, QStringLiteral("still_*.jpg"));
        QCOMPARE(dialog.size(), QSize(316, 151));
        QPushButton *buttons[] = {dialog.skipButton(), dialog.overwriteButton(), dialog.cancelButton()};
        QTimer::singleShot(0, buttons[button], &QPushButton::click);
        QCOMPARE(dialog.exec(), button == 1 ? int(QDialog::Accepted) : int(QDialog::Rejected));
    }
}

void TestVwDialogs::progressIsSingleAndFollowsList()
{
    VwVideoFileList list;
    QPointer<VwDialogProgress> first = VwDialogProgress::showProgress(QStringLiteral("ファイルOPEN"), false, &list);
    QCOMPARE(first->size(), QSize(414, 100));
    QVERIFY(!first->isCancellable());
    QVERIFY(first->isModal());
    QPointer<VwDialogProgress> second = VwDialogProgress::showProgress(QStringLiteral("バックアップ中"), true, &list);
    QCOMPARE(second->size(), QSize(414, 140));
    QCOMPARE(VwDialogProgress::current(), second.data());
    QVERIFY(!first || first->isHidden());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!first);

    Q_EMIT list.updateProgress(182);
    QCOMPARE(second->value(), 182);
    Q_EMIT list.updateProgress(500);
    QCOMPARE(second->value(), VwDialogProgress::kRange);

    VwDialogProgress::closeProgress();
    QCOMPARE(VwDialogProgress::current(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!second);
}

void TestVwDialogs::progressCancelsOnce_data()
{
    QTest::addColumn<bool>("cancellable");
    QTest::addColumn<QString>("how");

    QTest::newRow("button pressed twice") << true << "button";
    QTest::newRow("escape") << true << "escape";
    QTest::newRow("window close") << true << "close";
    QTest::newRow("escape during a load") << false << "escape";
    QTest::newRow("window close during a load") << false << "close";
}

void TestVwDialogs::progressCancelsOnce()
{
    QFETCH(bool, cancellable);
    QFETCH(QString, how);

    VwDialogProgress *dialog = VwDialogProgress::showProgress(QStringLiteral("Backup files..."), cancellable);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QSignalSpy cancelled(dialog, &VwDialogProgress::cancelled);
    for (int i = 0; i < 2; ++i) {
        if (how == QLatin1String("button"))
            dialog->onCancel();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            dialog->close();
    }
    QCOMPARE(cancelled.count(), cancellable ? 1 : 0);
    QVERIFY(dialog->isVisible());
    if (cancellable) {
        QVERIFY(!dialog->cancelButton()->isEnabled());
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    } else {
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }
    // cleanup() checks that closing takes the wait cursor away again.
}

HX_TEST_VIEWER_MAIN(TestVwDialogs)

#include "tst_vw_dialogs.moc"
