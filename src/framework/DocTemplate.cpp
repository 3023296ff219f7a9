#include "framework/DocTemplate.h"

#include "framework/Frame.h"
#include "framework/Icons.h"

namespace velmar {

CDocTemplate::CDocTemplate(int resourceId, QString titleString, DocumentFactory makeDocument,
                           FrameFactory makeFrame)
    : resourceId_(resourceId), titleString_(std::move(titleString)),
      makeDocument_(std::move(makeDocument)), makeFrame_(std::move(makeFrame)) {}

CDocTemplate::~CDocTemplate() {
    // Views go with the frame before their document.
    delete frame_;
    frame_ = nullptr;
    document_.reset();
}

QString CDocTemplate::titleField(int index) const {
    return titleString_.section(QLatin1Char('\n'), index, index);
}

CDocument* CDocTemplate::OpenNewDocument() {
    if (document_) return nullptr; // single document
    std::unique_ptr<CDocument> doc = makeDocument_();
    if (!doc) return nullptr;
    CFrame* frame = makeFrame_(doc.get());
    if (!frame) return nullptr;
    frame->setWindowTitle(titleField(0));
    frame->setWindowIcon(ProgramIcon());
    frame->setProperty("templateId", resourceId_);
    for (CView* v : doc->views())
        v->OnInitialUpdate();
    document_ = std::move(doc);
    frame_ = frame;
    return document_.get();
}

} // namespace velmar
