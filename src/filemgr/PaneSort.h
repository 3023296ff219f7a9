#pragma once
// The order of a pane's rows and the header texts that tell it. One sort mode serves
// both panes: a click in either header changes how both sort.

#include "platform/FindRecord.h"

#include <QString>

namespace velmar {

// 0..3: name descending, ascending, extension descending, ascending (name column);
// under the size column 0 puts the smallest first, anything else the largest.
extern int SortMode;

constexpr int kSortByName = 0;
constexpr int kSortBySize = 1;
constexpr int kUnsorted = 256;

// Negative puts `a` first. A row without a record (the parent row) comes first in every
// mode, folders before files; the direction applies inside each group.
int CompareByName(const FindRecord* a, const FindRecord* b, int sortMode);
int CompareBySize(const FindRecord* a, const FindRecord* b, int sortMode);

// The new shared mode after a click on `column` while the pane sorts by `sortColumn`.
int NextSortMode(int column, int sortColumn, int sortMode);

// Header texts for a pane sorted by `sortColumn` under `sortMode`.
QString NameHeaderText(int sortColumn, int sortMode);
QString SizeHeaderText(int sortColumn, int sortMode);

} // namespace velmar
