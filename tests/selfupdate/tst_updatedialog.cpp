#include "updatedialog.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

class UpdateDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndTexts();
    void enterUpdates();
    void escapeAndExitLeave_data();
    void escapeAndExitLeave();
};

void UpdateDialogTest::layoutAndTexts()
{
    UpdateDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Update Velamaris Tidemart"));
    QCOMPARE(dialog.size(), QSize(450, 267));
    QVERIFY(!dialog.isModal());
    auto label = [&dialog](const char *name) { return dialog.findChild<QLabel *>(name); };
    QCOMPARE(label("label_2")->text(), QStringLiteral("Update is Available"));
    QCOMPARE(label("label_3")->text(), QStringLiteral("Velamaris Tidemart"));
    QVERIFY(label("label_3")->font().bold());
    QCOMPARE(label("label_4")->text(), QStringLiteral("version"));
    QCOMPARE(label("versionLabel")->text(), QStringLiteral("1.4.9"));
    QVERIFY(label("label_6")->wordWrap());
    QVERIFY(!label("imageLabel_2")->pixmap(Qt::ReturnByValue).isNull());
    dialog.setVersionText("1.6.0");
    QCOMPARE(label("versionLabel")->text(), QStringLiteral("1.6.0"));
    QVERIFY(!dialog.updateButton()->icon().isNull());
    QVERIFY(!dialog.exitButton()->icon().isNull());
    QVERIFY(dialog.updateButton()->text().isEmpty());
}

void UpdateDialogTest::enterUpdates()
{
    UpdateDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QTest::keyClick(&dialog, Qt::Key_Return);
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void UpdateDialogTest::escapeAndExitLeave_data()
{
    QTest::addColumn<bool>("useEscape");
    QTest::newRow("exit button") << false;
    QTest::newRow("escape") << true;
}

void UpdateDialogTest::escapeAndExitLeave()
{
    QFETCH(bool, useEscape);
    UpdateDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    if (useEscape)
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        dialog.exitButton()->click();
    QCOMPARE(rejected.count(), 1);
}

QTEST_MAIN(UpdateDialogTest)
#include "tst_updatedialog.moc"
