#pragma once
// Web addresses and the manual open in the user's default browser. One seam for both, so
// tests record what would have been opened.

#include <QString>
#include <QUrl>
#include <functional>

namespace velmar {

// True when the browser (or the recorder) took the address.
bool OpenInBrowser(const QUrl& url);

using UrlOpener = std::function<bool(const QUrl& url)>;
void SetUrlOpenerForTesting(UrlOpener opener);

// The manual installed with the program: help/ beside the executable (the build tree's
// copy) or ../share/velmar/help. Empty when there is none.
QString InstalledHelpPath();

// The HTML manual "ce_velmar.htm": installed beside the program (help/ next to the
// executable, or ../share/velmar/help), else unpacked from the program's resources into
// the user's cache folder. Empty when neither works.
QString HelpFilePath();

// The help request of every frame: the manual in the browser.
bool OpenHelp();

} // namespace velmar
