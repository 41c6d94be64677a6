#include "updatedialog.h"

#include <QPushButton>
#include <QtTest>

// The mandatory update dialog offers two ways out: Enter or the update
// button updates, Escape or the exit button leaves.
class UpdateDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
};

void UpdateDialogTest::answers_data()
{
    QTest::addColumn<int>("key");        // 0: a button is clicked instead
    QTest::addColumn<bool>("exitButton"); // the button clicked
    QTest::addColumn<int>("result");

    QTest::newRow("enter") << int(Qt::Key_Return) << false << int(QDialog::Accepted);
    QTest::newRow("update button") << 0 << false << int(QDialog::Accepted);
    QTest::newRow("escape") << int(Qt::Key_Escape) << false << int(QDialog::Rejected);
    QTest::newRow("exit button") << 0 << true << int(QDialog::Rejected);
}

void UpdateDialogTest::answers()
{
    QFETCH(int, key);
    QFETCH(bool, exitButton);
    UpdateDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QSignalSpy finished(&dialog, &QDialog::finished);
    if (key != 0)
        QTest::keyClick(&dialog, Qt::Key(key));
    else
        (exitButton ? dialog.exitButton() : dialog.updateButton())->click();
    QCOMPARE(finished.count(), 1);
    QTEST(finished.at(0).at(0).toInt(), "result");
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(UpdateDialogTest)
#include "tst_updatedialog.moc"
