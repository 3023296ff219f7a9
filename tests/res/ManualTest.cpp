// The manual covers every command the menus and tool bars offer. A command's place is the
// element with id "cmd-NAME", NAME being its constant in res/Ids.h without "kCmd"
// (kCmdViewHex: id="cmd-ViewHex"), and that element's text names the command as its menu
// item or button does.
#include "res/MenuTables.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace velmar;

namespace {

QString ReadSource(const QString& relative) {
    QFile f(qEnvironmentVariable("VELMAR_SOURCE_DIR") + QLatin1Char('/') + relative);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Command number -> constant name without "kCmd", as the header spells them.
QMap<int, QString> CommandNames(const QString& header) {
    QMap<int, QString> names;
    static const QRegularExpression re(QStringLiteral("constexpr int kCmd(\\w+) = (\\d+);"));
    for (auto it = re.globalMatch(header); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!names.contains(m.captured(2).toInt()))
            names.insert(m.captured(2).toInt(), m.captured(1));
    }
    return names;
}

// What a reader sees of a piece of HTML: no tags, entities resolved, blanks folded.
QString Visible(QString html) {
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    html.remove(tags);
    for (const auto& [entity, text] :
         {std::pair{"&nbsp;", " "}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}})
        html.replace(QLatin1String(entity), QLatin1String(text));
    return html.simplified();
}

// The visible text of the element carrying id="`id`" up to its end tag (the manual does not
// nest these elements); null when there is none.
QString ElementText(const QString& html, const QString& id) {
    const qsizetype at = html.indexOf(QStringLiteral("id=\"%1\"").arg(id));
    if (at < 0) return QString();
    static const QRegularExpression nameRe(QStringLiteral("^<(\\w+)"));
    const qsizetype open = html.lastIndexOf(QLatin1Char('<'), at);
    const QString tag = nameRe.match(html.mid(open, 20)).captured(1);
    const qsizetype start = html.indexOf(QLatin1Char('>'), at) + 1;
    return Visible(html.mid(start, html.indexOf("</" + tag + ">", start) - start));
}

// A menu text without its mnemonic mark and the shortcut shown after a tab.
QString WithoutMnemonic(QString label) {
    return label.section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&')).simplified();
}

// Every command id of every command bar with the texts that name it there.
QMap<int, QStringList> OfferedCommands() {
    QMap<int, QStringList> offered;
    for (const res::CommandBarDef& bar : res::detail::kCommandBars) {
        for (const res::PopupDef& popup : bar.popups)
            for (const res::MenuItemDef& item : popup.items)
                if (item.id != 0)
                    offered[item.id].append(WithoutMnemonic(QString::fromUtf8(item.text)));
        for (const int id : bar.toolbar) {
            QStringList& labels = offered[id];
            if (const res::ButtonDef* b = res::FindButton(id)) {
                labels.append(QString::fromUtf8(b->text));
                labels.append(QString::fromUtf8(b->tip));
            }
        }
    }
    return offered;
}

} // namespace

TEST(Manual, EveryCommandOfTheMenusAndToolBarsHasItsPlaceNamingIt) {
    const QString html = ReadSource(QStringLiteral("src/res/help/ce_velmar.htm"));
    const QMap<int, QString> names = CommandNames(ReadSource(QStringLiteral("src/res/Ids.h")));
    ASSERT_FALSE(html.isEmpty());
    ASSERT_FALSE(names.isEmpty());
    const QMap<int, QStringList> offered = OfferedCommands();
    QStringList missing;
    for (auto it = offered.cbegin(); it != offered.cend(); ++it) {
        const QString name = names.value(it.key());
        if (name.isEmpty()) {
            missing.append(QStringLiteral("%1 (not in Ids.h)").arg(it.key()));
            continue;
        }
        const QString id = QStringLiteral("cmd-") + name;
        const QString text = WithoutMnemonic(ElementText(html, id));
        if (text.isNull()) {
            missing.append(QStringLiteral("%1: no element id=\"%2\"").arg(it.key()).arg(id));
            continue;
        }
        bool named = false;
        for (const QString& label : it.value())
            named = named || text.contains(label);
        if (!named)
            missing.append(QStringLiteral("%1: \"%2\" does not say %3")
                               .arg(id, text.left(60), it.value().join(QStringLiteral(" or "))));
    }
    EXPECT_TRUE(missing.isEmpty()) << qPrintable(missing.join(QLatin1Char('\n')));
}

TEST(Manual, IdsAreUniqueAndEveryLinkInsideLeadsToOne) {
    const QString html = ReadSource(QStringLiteral("src/res/help/ce_velmar.htm"));
    ASSERT_FALSE(html.isEmpty());
    QSet<QString> ids;
    QStringList twice;
    static const QRegularExpression idRe(QStringLiteral("\\sid=\"([^\"]+)\""));
    for (auto it = idRe.globalMatch(html); it.hasNext();) {
        const QString id = it.next().captured(1);
        if (ids.contains(id)) twice.append(id);
        ids.insert(id);
    }
    EXPECT_TRUE(twice.isEmpty()) << qPrintable(twice.join(QLatin1Char(' ')));
    QStringList broken;
    static const QRegularExpression linkRe(QStringLiteral("href=\"#([^\"]+)\""));
    for (auto it = linkRe.globalMatch(html); it.hasNext();) {
        const QString target = it.next().captured(1);
        if (!ids.contains(target)) broken.append(target);
    }
    EXPECT_TRUE(broken.isEmpty()) << qPrintable(broken.join(QLatin1Char(' ')));
}
