#pragma once
// The file-manager document: both panes are its views. It holds no listing state; a
// command that changed files ends with UpdateAllViews and every pane refills itself.

#include "framework/View.h"

namespace velmar {

class CVelmarDoc : public CDocument {
    Q_OBJECT
public:
    using CDocument::CDocument;
};

} // namespace velmar
