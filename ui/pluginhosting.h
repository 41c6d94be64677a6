#pragma once

#include <QString>

class QWebSettings;

// Turns the web engine's plug-ins on, with pluginFolder as the place to find
// them (npVelIn), only where the engine can host them: on X11 (the xcb
// platform). Elsewhere, the offscreen platform above all, the engine crashes
// when it creates a plug-in instance, so plug-ins stay off and a page that
// embeds one still loads. Returns whether plug-ins are on.
bool hostPlugins(QWebSettings *settings, const QString &pluginFolder);
