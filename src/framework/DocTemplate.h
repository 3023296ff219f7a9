#pragma once
// A single-document template: the resource id shared by menu, tool bar and title string,
// and how to make its document and its frame (which makes the views). At most one
// document is open per template; it lives, with its frame, until the template goes.

#include "framework/View.h"

#include <QString>
#include <functional>
#include <memory>

namespace velmar {

class CFrame;

class CDocTemplate {
public:
    using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
    // Makes the frame with its views over `doc`; nullptr when the frame cannot be made.
    using FrameFactory = std::function<CFrame*(CDocument* doc)>;

    CDocTemplate(int resourceId, QString titleString, DocumentFactory makeDocument,
                 FrameFactory makeFrame);
    ~CDocTemplate();
    CDocTemplate(const CDocTemplate&) = delete;
    CDocTemplate& operator=(const CDocTemplate&) = delete;

    int resourceId() const { return resourceId_; }
    // The fields of the title string ("window\n\nname\n\n\ntype id\ntype name").
    QString titleField(int index) const;

    // A new, untitled document with its frame; nullptr (and nothing kept) on failure.
    CDocument* OpenNewDocument();
    CDocument* document() const { return document_.get(); }
    CFrame* frame() const { return frame_; }

private:
    int resourceId_;
    QString titleString_;
    DocumentFactory makeDocument_;
    FrameFactory makeFrame_;
    std::unique_ptr<CDocument> document_;
    CFrame* frame_ = nullptr;
};

} // namespace velmar
