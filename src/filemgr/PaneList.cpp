#include "filemgr/PaneList.h"

#include "filemgr/VelmarDoc.h"

namespace velmar {

CPaneList::CPaneList(CVelmarDoc* doc, PaneHost* host, QWidget* parent)
    : QTableView(parent), host_(host) {
    if (doc) doc->AddView(this);
}

CPaneList::~CPaneList() = default;

void CPaneList::OnUpdate(CView*) {}

} // namespace velmar
