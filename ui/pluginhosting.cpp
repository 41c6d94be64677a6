#include "pluginhosting.h"

#include <QGuiApplication>
#include <QWebSettings>

bool hostPlugins(QWebSettings *settings, const QString &pluginFolder)
{
    const bool hosted = QGuiApplication::platformName() == QLatin1String("xcb");
    if (hosted)
        QWebSettings::setPluginSearchPaths({pluginFolder});
    settings->setAttribute(QWebSettings::PluginsEnabled, hosted);
    return hosted;
}
