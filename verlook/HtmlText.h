#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace verlook {

// The text a browser gives as the body text of a fetched resource: for a
// plain-text resource its own text, for an HTML page the text content of its
// body (tags dropped, scripts and styles left out, white space collapsed,
// character references decoded). nullopt for a page without a body (a frame
// set).
std::optional<QString> documentBodyText(const QByteArray &data, const QString &contentType);

// The text content of an HTML page's body.
std::optional<QString> htmlBodyText(const QString &html);

} // namespace verlook
