#include "errorcodes.h"

#include <QHash>

QString errorCodeName(int code)
{
    static const QHash<int, QString> names {
        { 1, QStringLiteral("ConnectionRefusedError") },
        { 2, QStringLiteral("RemoteHostClosedError") },
        { 3, QStringLiteral("HostNotFoundError") },
        { 4, QStringLiteral("TimeoutError") },
        { 5, QStringLiteral("OperationCanceledError") },
        { 6, QStringLiteral("SslHandshakeFailedError") },
        { 7, QStringLiteral("TemporaryNetworkFailureError") },
        { 8, QStringLiteral("NetworkSessionFailedError") },
        { 9, QStringLiteral("BackgroundRequestNotAllowedError") },
        { 10, QStringLiteral("TooManyRedirectsError") },
        { 11, QStringLiteral("InsecureRedirectError") },
        { 99, QStringLiteral("UnknownNetworkError") },
        { 101, QStringLiteral("ProxyConnectionRefusedError") },
        { 102, QStringLiteral("ProxyConnectionClosedError") },
        { 103, QStringLiteral("ProxyNotFoundError") },
        { 104, QStringLiteral("ProxyTimeoutError") },
        { 105, QStringLiteral("ProxyAuthenticationRequiredError") },
        { 199, QStringLiteral("UnknownProxyError") },
        { 201, QStringLiteral("ContentAccessDenied") },
        { 202, QStringLiteral("ContentOperationNotPermittedError") },
        { 203, QStringLiteral("ContentNotFoundError") },
        { 204, QStringLiteral("AuthenticationRequiredError") },
        { 205, QStringLiteral("ContentReSendError") },
        { 206, QStringLiteral("ContentConflictError") },
        { 207, QStringLiteral("ContentGoneError") },
        { 299, QStringLiteral("UnknownContentError") },
        { 301, QStringLiteral("ProtocolUnknownError") },
        { 302, QStringLiteral("ProtocolInvalidOperationError") },
        { 399, QStringLiteral("ProtocolFailure") },
        { 401, QStringLiteral("InternalServerError") },
        { 402, QStringLiteral("OperationNotImplementedError") },
        { 403, QStringLiteral("ServiceUnavailableError") },
        { 499, QStringLiteral("UnknownServerError") },
        { TimeoutConnectionElapsed, QStringLiteral("Timeout connection elapsed") },
        { FileWithWrongSize, QStringLiteral("File with wrong size") },
        { ErrorPreparingInstallation, QStringLiteral("ErrorPreparingInstallation") },
        { ErrorInstallChart, QStringLiteral("ErrorIinstallChart") },
        { ErrorInstallingUgc, QStringLiteral("ErrorInstallingUGC") },
        { ErrorUploadingSonarTrack, QStringLiteral("ErrorUploadingSonarTrack") },
        { ErrorWritingDownloadedFile, QStringLiteral("ErrorWritingDownloadedFile") },
        { ErrorManifestNotObtained, QStringLiteral("ErrorManifestNotObtained") },
    };
    return names.value(code, QStringLiteral("Error unknown"));
}
