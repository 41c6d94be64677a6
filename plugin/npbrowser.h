#pragma once

#include "npapi.h"

#include <QByteArray>
#include <QVariant>

// The browser's side of the plug-in interface: the function table handed
// over in NP_Initialize, and conversions between script values and variants.
class NpBrowser
{
public:
    // False when the table is too old or too short for the plug-in.
    static bool setFunctions(const NPNetscapeFuncs *functions);
    static const NPNetscapeFuncs *functions();

    static QByteArray identifierName(NPIdentifier identifier);
    static QVariant toVariant(const NPVariant &value);
    // Strings are copied into browser memory, as the browser frees them.
    static void fromVariant(const QVariant &value, NPVariant *result);
    // A string argument pointing into text, which must outlive the call.
    static NPVariant stringArgument(const QByteArray &text);
    static NPVariant objectArgument(NPObject *object);
};
