#pragma once
// The search values remembered for the run of the program, shared by the "Search files"
// dialog and the hex viewer's "Find" dialog (the text and the hex choice are common).

#include <QString>

namespace velmar {

struct SearchMemory {
    QString mask = QStringLiteral("*.*");
    QString text;
    int hex = 0;
    int caseSensitive = 1;
};

// The one instance of this run (interface thread only).
inline SearchMemory& RememberedSearch() {
    static SearchMemory memory;
    return memory;
}

} // namespace velmar
