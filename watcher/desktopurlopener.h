#pragma once

class QUrl;

// Hands url to the program the desktop has registered for its scheme,
// without waiting for it. False when the desktop's opener cannot be started.
bool openDesktopUrl(const QUrl &url);
