#include "announcedlength.h"

#include <QNetworkReply>
#include <QNetworkRequest>

qint64 announcedLength(const QNetworkReply &reply)
{
    const QVariant length = reply.header(QNetworkRequest::ContentLengthHeader);
    if (!length.isValid())
        return -1;
    const QByteArray encoding = reply.rawHeader("Content-Encoding").trimmed().toLower();
    if (!encoding.isEmpty() && encoding != "identity")
        return -1;
    return length.toLongLong();
}
