#include "httpfaults.h"

HttpFaults HttpFaults::answerStatus(int status)
{
    HttpFaults faults;
    faults.status = status;
    return faults;
}

HttpFaults HttpFaults::stallAfter(qint64 bytes, int milliseconds)
{
    HttpFaults faults;
    faults.stallAfterBytes = bytes;
    faults.stallMs = milliseconds;
    return faults;
}

HttpFaults HttpFaults::closeAfter(qint64 bytes)
{
    HttpFaults faults;
    faults.closeAfterBytes = bytes;
    return faults;
}

HttpFaults HttpFaults::trickle(int bytes, int milliseconds)
{
    HttpFaults faults;
    faults.trickleBytes = bytes;
    faults.trickleMs = milliseconds;
    return faults;
}

HttpFaults HttpFaults::wrongRange()
{
    HttpFaults faults;
    faults.wrongContentRange = true;
    return faults;
}

HttpFaults HttpFaults::rateLimit(qint64 bytesPerSecond)
{
    HttpFaults faults;
    faults.bytesPerSecond = bytesPerSecond;
    return faults;
}

bool HttpFaults::isEmpty() const
{
    return status <= 0 && !stalls() && !closes() && !trickles() && !wrongContentRange && !limitsRate();
}

HttpFaults HttpFaults::fromJson(const QJsonObject &object)
{
    HttpFaults faults;
    faults.status = object.value(QStringLiteral("status")).toInt(0);
    faults.stallAfterBytes = qint64(object.value(QStringLiteral("stallAfterBytes")).toDouble(-1));
    faults.stallMs = object.value(QStringLiteral("stallMs")).toInt(-1);
    faults.closeAfterBytes = qint64(object.value(QStringLiteral("closeAfterBytes")).toDouble(-1));
    faults.trickleBytes = object.value(QStringLiteral("trickleBytes")).toInt(0);
    faults.trickleMs = object.value(QStringLiteral("trickleMs")).toInt(0);
    faults.wrongContentRange = object.value(QStringLiteral("wrongContentRange")).toBool(false);
    faults.bytesPerSecond = qint64(object.value(QStringLiteral("bytesPerSecond")).toDouble(0));
    return faults;
}
