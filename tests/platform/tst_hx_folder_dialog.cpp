#include "hx_folder_dialog.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QListView>
#include <QToolButton>

namespace {
QModelIndex findRow(QListView *view, const QString &name)
{
    const QAbstractItemModel *model = view->model();
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        const QModelIndex index = model->index(row, 0, view->rootIndex());
        if (index.data().toString() == name)
            return index;
    }
    return QModelIndex();
}
} // namespace

class TstHxFolderDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void startFolderIsPreselected();
    void unreadyFolderDisablesOk();
    void unreadyAtAcceptKeepsDialogOpen();
    void newFolderButton_data();
    void newFolderButton();

private:
    QTemporaryDir m_dir;
    QString m_card;
    QString m_other;
};

void TstHxFolderDialog::init()
{
    QVERIFY(m_dir.isValid());
    m_card = m_dir.filePath(QStringLiteral("card"));
    m_other = m_dir.filePath(QStringLiteral("other"));
    QDir().mkpath(m_card);
    QDir().mkpath(m_other);
}

void TstHxFolderDialog::startFolderIsPreselected()
{
    HxFolderDialog dialog;
    dialog.setStartFolder(m_other);
    QCOMPARE(dialog.currentFolder(), m_other);

    dialog.setStartFolder(m_card + QStringLiteral("/DCIM/gone"));
    QCOMPARE(dialog.currentFolder(), m_card);
}

void TstHxFolderDialog::unreadyFolderDisablesOk()
{
    HxFolderDialog dialog;
    const QString card = m_card;
    dialog.setUnreadyTest([card](const QString &folder) { return folder == card; });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    dialog.selectFolder(m_other);
    QCOMPARE(dialog.currentFolder(), m_other);
    QVERIFY(dialog.isAcceptEnabled());

    dialog.selectFolder(m_card);
    QCOMPARE(dialog.currentFolder(), m_card);
    QVERIFY(!dialog.isAcceptEnabled());

    dialog.selectFolder(m_other);
    QVERIFY(dialog.isAcceptEnabled());

    // Picking the folder in the list of its parent.
    dialog.selectFolder(m_dir.path());
    auto *view = dialog.findChild<QListView *>(QStringLiteral("listView"));
    QVERIFY(view);
    QModelIndex cardIndex;
    QTRY_VERIFY((cardIndex = findRow(view, QStringLiteral("card"))).isValid());
    view->selectionModel()->setCurrentIndex(cardIndex, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(dialog.currentFolder(), m_card);
    QVERIFY(!dialog.isAcceptEnabled());
    const QModelIndex otherIndex = findRow(view, QStringLiteral("other"));
    QVERIFY(otherIndex.isValid());
    view->selectionModel()->setCurrentIndex(otherIndex, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(dialog.currentFolder(), m_other);
    QVERIFY(dialog.isAcceptEnabled());

    // Opening the unready folder as the start folder also keeps OK off.
    HxFolderDialog second;
    second.setUnreadyTest([card](const QString &folder) { return folder == card; });
    second.setStartFolder(m_card);
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    QVERIFY(!second.isAcceptEnabled());
}

void TstHxFolderDialog::unreadyAtAcceptKeepsDialogOpen()
{
    HxFolderDialog dialog;
    bool unready = false;
    dialog.setUnreadyTest([&unready](const QString &) { return unready; });
    dialog.setStartFolder(m_other);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.isAcceptEnabled());

    unready = true; // the card is pulled out while OK is still enabled
    auto *files = dialog.findChild<QDialog *>();
    QVERIFY(files);
    QMetaObject::invokeMethod(files, "accept");
    QVERIFY(dialog.isVisible());
    QVERIFY(files->isVisible());
    QVERIFY(dialog.chosenFolder().isEmpty());
    QVERIFY(!dialog.isAcceptEnabled());
}

void TstHxFolderDialog::newFolderButton_data()
{
    QTest::addColumn<bool>("allowed");
    QTest::newRow("allowed") << true;
    QTest::newRow("not allowed") << false;
}

void TstHxFolderDialog::newFolderButton()
{
    QFETCH(bool, allowed);
    HxFolderDialog dialog;
    dialog.setNewFolderAllowed(allowed);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *button = dialog.findChild<QToolButton *>(QStringLiteral("newFolderButton"));
    QVERIFY(button);
    QCOMPARE(button->isVisible(), allowed);
    QCOMPARE(dialog.isNewFolderAllowed(), allowed);
}

QTEST_MAIN(TstHxFolderDialog)
#include "tst_hx_folder_dialog.moc"
