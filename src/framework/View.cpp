#include "framework/View.h"

#include <algorithm>

namespace velmar {

CView::~CView() {
    if (document_) document_->RemoveView(this);
}

CDocument::~CDocument() {
    for (CView* v : views_)
        v->document_ = nullptr;
}

void CDocument::AddView(CView* view) {
    if (std::find(views_.begin(), views_.end(), view) != views_.end()) return;
    views_.push_back(view);
    view->document_ = this;
}

void CDocument::RemoveView(CView* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
    view->document_ = nullptr;
}

void CDocument::UpdateAllViews(CView* sender) {
    // A copy: a view may add or remove views while it refreshes.
    const std::vector<CView*> views = views_;
    for (CView* v : views)
        if (v != sender) v->OnUpdate(sender);
}

} // namespace velmar
