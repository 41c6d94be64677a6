#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace TestSupport {

// Writes data to path, creating the parent folders. False on failure.
bool writeFile(const QString &path, const QByteArray &data);
QByteArray readFile(const QString &path);
QStringList readLines(const QString &path);

// Folder of the product's programs (build/bin).
QString binDir();
// Folder of the test programs and their helpers (build/tests/bin).
QString testBinDir();
QString sourceDir();

// True when the process can bypass file permissions (root), so that a
// read-only folder does not make a write fail.
bool permissionsAreIgnored();

// Copies an executable into folder under name (made executable); false on
// failure. Programs that look beside themselves for helpers are tested from
// such a copy.
bool copyExecutable(const QString &from, const QString &folder, const QString &name);

// Path of the fake external tool (see faketool.cpp).
QString fakeToolPath();

// Outcome of a child run: exitCode is -1 when the program did not start or
// did not end normally.
struct ChildResult
{
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs program to its end with arguments passed as they are, in the
// system environment plus the given additions.
ChildResult runChild(const QString &program, const QStringList &arguments,
                     const QProcessEnvironment &additions = QProcessEnvironment());

// A program that leaves asks the application to quit. In a test no event
// loop runs, so the request stays pending and would end the next modal loop
// (a dialog's exec) at once; this runs the loop briefly to use it up,
// without announcing the end of the application.
void consumeQuitRequest();

// Names of the entries of a folder (hidden ones included), sorted.
QStringList folderEntries(const QString &folder);

} // namespace TestSupport
