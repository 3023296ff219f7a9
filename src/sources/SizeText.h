#pragma once
// The small texts the panes and dialogs share: size column, grouped numbers, path parts.

#include <QString>
#include <cstdint>

namespace velmar {

// "999 b", "1.5 k", "0.9 M", "3.9 G": decimal thresholds, binary divisors, tenths
// truncated and a ".0" dropped. Everything from 1 GiB up is written in G.
QString FormatSize(uint64_t bytes);
// The value with the user's digit grouping and no fraction.
QString FormatNumber(uint64_t value);
// The text after the last `separator`, or the whole path.
QString FileNamePart(const QString& path, QChar separator);
// The path without slashes at its end ("/" stays "/").
QString WithoutTrailingSlash(QString path);
// The folder holding `path` ("/a/b/" and "/a/b" give "/a"; "/a" gives "/").
QString ParentOf(const QString& path);
// From the last "." on, dot included; empty when there is none.
QString ExtensionOf(const QString& name);

} // namespace velmar
