#pragma once

#include <QString>
#include <QUrl>

// NSURL(KT): the value of a query variable. The query is split at "&", each piece at "=": the
// name before the first "=", the value up to a second "=". Both are unescaped from percent
// escapes as ASCII; a pair that does not unescape to ASCII, or a piece without "=", is skipped.
// When a name occurs twice the later value wins. Null when the variable is absent or the URL
// has no query.
QString valueForVariable(const QUrl& url, const QString& name);
