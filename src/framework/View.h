#pragma once
// Document/view: a document owns no widgets; its views show it. A command that changed
// files ends with the document's UpdateAllViews, after which every view refreshes itself.

#include "framework/Command.h"

#include <QObject>
#include <QWidget>
#include <vector>

namespace velmar {

class CDocument;

class CView : public CommandTarget {
public:
    ~CView() override;
    virtual QWidget* widget() = 0;
    // Called once by the frame after it has made all its views; by default the first update.
    virtual void OnInitialUpdate() { OnUpdate(nullptr); }
    // Called by the document's UpdateAllViews for every view but the sender.
    virtual void OnUpdate(CView* sender) = 0;
    CDocument* document() const { return document_; }

private:
    friend class CDocument;
    CDocument* document_ = nullptr;
};

class CDocument : public QObject, public CommandTarget {
    Q_OBJECT
public:
    using QObject::QObject;
    ~CDocument() override;
    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& views() const { return views_; }
    void UpdateAllViews(CView* sender = nullptr);

private:
    std::vector<CView*> views_;
};

} // namespace velmar
