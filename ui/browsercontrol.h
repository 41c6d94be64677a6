#pragma once

#include <QWebView>

// The web view that shows the store.
class browserControl : public QWebView
{
    Q_OBJECT

public:
    using QWebView::QWebView;
};
