#pragma once
// One pane: a two-column list of one folder, local or on an FTP server.
// (Being written: model, refill, sorting, styles, navigation.)

#include "app/framework/View.h"
#include "filemgr/PaneHost.h"

#include <QTableView>

namespace velmar {

class CVelmarDoc;

class CPaneList : public QTableView, public CView {
    Q_OBJECT
public:
    CPaneList(CVelmarDoc* doc, PaneHost* host, QWidget* parent = nullptr);
    ~CPaneList() override;

    QWidget* widget() override { return this; }
    void OnUpdate(CView* sender) override;

    // The folder shown, always ending with the separator; "/" is the local root.
    const QString& currentPath() const { return currentPath_; }
    int sourceKind() const { return sourceKind_; }
    QString PathSeparator() const { return QStringLiteral("/"); }

private:
    PaneHost* host_ = nullptr;
    QString currentPath_ = QStringLiteral("/");
    int sourceKind_ = 0;
};

} // namespace velmar
