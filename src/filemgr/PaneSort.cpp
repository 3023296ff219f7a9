#include "filemgr/PaneSort.h"

#include <QStringView>
#include <algorithm>

namespace velmar {

int SortMode = 0;

namespace {

// Code-unit order, the hot path of every name sort: a plain loop beats the generic
// string comparison, which dispatches on encodings and case first.
int CompareUnits(const QString& a, const QString& b) {
    const char16_t* pa = reinterpret_cast<const char16_t*>(a.constData());
    const char16_t* pb = reinterpret_cast<const char16_t*>(b.constData());
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i)
        if (pa[i] != pb[i]) return pa[i] < pb[i] ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Code-unit comparison of a1+a2 with b1+b2, without building either string.
int CompareJoined(QStringView a1, QStringView a2, QStringView b1, QStringView b2) {
    qsizetype i = 0;
    const qsizetype na = a1.size() + a2.size();
    const qsizetype nb = b1.size() + b2.size();
    for (; i < na && i < nb; ++i) {
        const char16_t ca = i < a1.size() ? a1[i].unicode() : a2[i - a1.size()].unicode();
        const char16_t cb = i < b1.size() ? b1[i].unicode() : b2[i - b1.size()].unicode();
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

QStringView ExtensionView(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 ? QStringView(name).mid(dot) : QStringView();
}

// The parts every comparison shares: missing records first, then folders before files.
// True when that already decided; `result` is then final.
bool CompareGroups(const FindRecord* a, const FindRecord* b, int& result) {
    if (!a) {
        result = b ? -1 : 0;
        return true;
    }
    if (!b) {
        result = 1;
        return true;
    }
    if (a->isFolder() != b->isFolder()) {
        result = a->isFolder() ? -1 : 1;
        return true;
    }
    return false;
}

} // namespace

int CompareByName(const FindRecord* a, const FindRecord* b, int sortMode) {
    int result = 0;
    if (CompareGroups(a, b, result)) return result;
    int c;
    if (!a->isFolder() && sortMode >= 2)
        c = CompareJoined(ExtensionView(a->name), a->name, ExtensionView(b->name), b->name);
    else
        c = CompareUnits(a->name, b->name);
    return (sortMode & 1) ? c : -c;
}

int CompareBySize(const FindRecord* a, const FindRecord* b, int sortMode) {
    int result = 0;
    if (CompareGroups(a, b, result)) return result;
    int c;
    if (a->isFolder())
        c = CompareUnits(a->name, b->name);
    else
        c = a->size > b->size ? -1 : (a->size < b->size ? 1 : 0);
    return sortMode != 0 ? c : -c;
}

int NextSortMode(int column, int sortColumn, int sortMode) {
    if (column != sortColumn) return sortMode;
    if (column == kSortBySize) return sortMode == 0 ? 1 : 0;
    if (column == kSortByName) return (sortMode + 1) % 4;
    return sortMode;
}

QString NameHeaderText(int sortColumn, int sortMode) {
    if (sortColumn != kSortByName) return QStringLiteral("Name/Ext");
    switch (sortMode) {
    case 0:
        return QStringLiteral("^ Name/Ext");
    case 1:
        return QStringLiteral("v Name/Ext");
    case 2:
        return QStringLiteral("Name/^ Ext");
    default:
        return QStringLiteral("Name/v Ext");
    }
}

QString SizeHeaderText(int sortColumn, int sortMode) {
    if (sortColumn != kSortBySize) return QStringLiteral("Size");
    return sortMode == 0 ? QStringLiteral("v Size") : QStringLiteral("^ Size");
}

} // namespace velmar
