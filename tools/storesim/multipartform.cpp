#include "multipartform.h"

namespace {
const QByteArray CRLF("\r\n");

// The value of key="..." (or key=token) in a header's parameters.
QByteArray parameter(const QByteArray &header, const QByteArray &key)
{
    const QList<QByteArray> items = header.split(';');
    for (int i = 1; i < items.size(); ++i) {
        const QByteArray item = items.at(i).trimmed();
        if (!item.startsWith(key + '='))
            continue;
        QByteArray value = item.mid(key.size() + 1);
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return QByteArray();
}
} // namespace

QByteArray MultipartForm::boundaryOf(const QByteArray &contentType)
{
    if (!contentType.trimmed().toLower().startsWith("multipart/form-data"))
        return QByteArray();
    return parameter(contentType, "boundary");
}

const MultipartForm::Part *MultipartForm::part(const QByteArray &name) const
{
    for (const Part &candidate : mParts) {
        if (candidate.name == name)
            return &candidate;
    }
    return nullptr;
}

void MultipartForm::parseHeaders(Part &part, const QByteArray &block, int index)
{
    part.headerLines.clear();
    for (int from = 0; !block.isEmpty() && from <= block.size();) {
        int end = block.indexOf(CRLF, from);
        if (end < 0)
            end = block.size();
        const QByteArray line = block.mid(from, end - from);
        if (line.contains('\n') || line.contains('\r'))
            complain(QStringLiteral("part %1: a header line ends without CRLF").arg(index));
        part.headerLines.append(line);
        from = end + CRLF.size();
    }
    bool disposition = false;
    for (const QByteArray &line : qAsConst(part.headerLines)) {
        const int colon = line.indexOf(':');
        if (colon <= 0) {
            complain(QStringLiteral("part %1: header line without a name: \"%2\"").arg(index).arg(QString::fromLatin1(line)));
            continue;
        }
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-disposition") {
            disposition = true;
            if (!value.startsWith("form-data"))
                complain(QStringLiteral("part %1: disposition is not form-data").arg(index));
            part.name = parameter(value, "name");
            if (value.contains("filename="))
                part.filename = parameter(value, "filename");
        } else if (name == "content-type") {
            part.contentType = value;
        }
    }
    if (!disposition)
        complain(QStringLiteral("part %1: no Content-Disposition").arg(index));
}

MultipartForm MultipartForm::parse(const QByteArray &body, const QByteArray &boundary)
{
    MultipartForm form;
    if (boundary.isEmpty()) {
        form.complain(QStringLiteral("no boundary"));
        return form;
    }
    const QByteArray dashBoundary = "--" + boundary;
    // The first delimiter may stand at the very start; otherwise the CRLF
    // before it belongs to it, and what comes before that is the preamble
    // (kept with that CRLF, so a body that opens with CRLF has "\r\n").
    int at = 0;
    if (!body.startsWith(dashBoundary)) {
        const int crlf = body.indexOf(CRLF + dashBoundary);
        if (crlf < 0) {
            form.complain(QStringLiteral("no delimiter line"));
            form.mPreamble = body;
            return form;
        }
        at = crlf + CRLF.size();
        form.mPreamble = body.left(at);
    }

    int index = 0;
    while (true) {
        int pos = at + dashBoundary.size();
        if (body.mid(pos, 2) == "--") {
            form.mClosed = true;
            pos += 2;
            if (body.mid(pos, 2) != CRLF)
                form.complain(QStringLiteral("closing delimiter not followed by CRLF"));
            else
                pos += 2;
            form.mEpilogue = body.mid(pos);
            if (!form.mEpilogue.isEmpty())
                form.complain(QStringLiteral("%1 bytes after the closing delimiter").arg(form.mEpilogue.size()));
            return form;
        }
        ++index;
        if (body.mid(pos, 2) != CRLF) {
            // Transport padding (blanks) is allowed by the standard but not
            // sent by a careful client.
            form.complain(QStringLiteral("delimiter %1 not followed by CRLF").arg(index));
            const int lineEnd = body.indexOf(CRLF, pos);
            if (lineEnd < 0)
                break;
            pos = lineEnd;
        }
        pos += 2;
        const int next = body.indexOf(CRLF + dashBoundary, pos);
        const int partEnd = next < 0 ? body.size() : next;
        const QByteArray content = body.mid(pos, partEnd - pos);
        Part part;
        int headerEnd = content.indexOf("\r\n\r\n");
        int dataStart = headerEnd + 4;
        if (content.startsWith(CRLF)) {
            headerEnd = 0;
            dataStart = 2;
        }
        if (headerEnd < 0) {
            form.complain(QStringLiteral("part %1: no blank line after its headers").arg(index));
            form.parseHeaders(part, content, index);
        } else {
            form.parseHeaders(part, content.left(headerEnd), index);
            part.data = content.mid(dataStart);
        }
        form.mParts.append(part);
        if (next < 0)
            break;
        at = next + CRLF.size();
    }
    form.complain(QStringLiteral("no closing delimiter"));
    return form;
}
