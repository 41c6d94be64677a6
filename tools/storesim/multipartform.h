#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// A multipart/form-data body taken apart without forgiving anything: every
// departure from the framing (missing CRLF after a delimiter, a part without
// a blank line after its headers, no closing delimiter, bytes after it) is
// kept as a complaint, so that a test can demand a byte-exact request.
//
// The part data is everything between the blank line after a part's headers
// and the CRLF that precedes the next delimiter.
class MultipartForm
{
public:
    struct Part
    {
        // Header lines as sent, without their CRLF (trailing blanks kept).
        QList<QByteArray> headerLines;
        // From Content-Disposition; filename is null when the part has none.
        QByteArray name;
        QByteArray filename;
        // Value of a Content-Type header line, null when absent.
        QByteArray contentType;
        QByteArray data;
    };

    // The boundary of a Content-Type value such as
    // "multipart/form-data; boundary=XYZ"; null when there is none.
    static QByteArray boundaryOf(const QByteArray &contentType);

    static MultipartForm parse(const QByteArray &body, const QByteArray &boundary);

    // Bytes before the first delimiter line ("--" + boundary).
    QByteArray preamble() const { return mPreamble; }
    QList<Part> parts() const { return mParts; }
    // The first part of that name, or nullptr.
    const Part *part(const QByteArray &name) const;
    // The closing delimiter ("--" + boundary + "--") was found.
    bool isClosed() const { return mClosed; }
    // Bytes after the closing delimiter's line end.
    QByteArray epilogue() const { return mEpilogue; }
    QStringList complaints() const { return mComplaints; }

private:
    void complain(const QString &complaint) { mComplaints.append(complaint); }
    void parseHeaders(Part &part, const QByteArray &block, int index);

    QByteArray mPreamble;
    QList<Part> mParts;
    bool mClosed = false;
    QByteArray mEpilogue;
    QStringList mComplaints;
};
