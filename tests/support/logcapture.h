#pragma once

#include <QStringList>
#include <QTemporaryDir>

// The program's own log handler writing to a fresh log file for the length
// of a test, so that tests compare the exact lines the product writes.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    bool isOpen() const { return mOpen; }
    QStringList lines() const;
    // The lines that start with one of the prefixes, in log order.
    QStringList linesStartingWith(const QStringList &prefixes) const;
    int count(const QString &line) const { return lines().count(line); }

private:
    QTemporaryDir mDir;
    bool mOpen = false;
};
