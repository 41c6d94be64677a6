#pragma once

#include <QtGlobal>

// The parsers log what they refuse; a fuzzer feeding them millions of
// inputs would drown in it.
inline void dropQtMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

struct QuietQtMessages
{
    QuietQtMessages() { qInstallMessageHandler(dropQtMessages); }
};
