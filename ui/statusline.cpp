#include "statusline.h"

#include "searchstatus.h"

StatusLine::StatusLine(QWidget *parent)
    : QLabel(parent)
    , firewall(firewallLookedForOnce())
{
    setObjectName(QStringLiteral("statusLine"));
    // The free space left of the buttons, level with them.
    setGeometry(247, 398, 271, 30);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The label starts at the logo's edge; its text keeps the window's 10 px from it.
    setContentsMargins(10, 0, 0, 0);
    // A long translation or a large font breaks the line rather than cut it off.
    setWordWrap(true);
    setAccessibleName(tr("Search status"));
    // The link a search that lists nothing offers; the keys and the menu reach it too.
    setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    setAccessibleDescription(tr("How the search is going: whether it is still running and how "
                                "many devices answered."));
}

void StatusLine::showVerdict(SearchState state, int deviceCount, const SearchReport &report)
{
    const SearchStatus status(state, deviceCount, report, firewall);
    if (status.offerOtherNetworks()) {
        setTextFormat(Qt::RichText);
        setText(withLink(status.line(), tr("Search other networks…")));
    } else {
        setTextFormat(Qt::PlainText);
        setText(status.line());
    }
    // The line has room for a short hint only; the tooltip says it in full.
    setToolTip(status.toolTip());
}

void StatusLine::showInstead(const QString &line)
{
    setTextFormat(Qt::PlainText);
    setText(line);
}

void StatusLine::newSearch()
{
    firewall = firewallLookedForOnce();
}

QString StatusLine::withLink(const QString &line, const QString &link)
{
    // The link is a sentence of its own: the line ends as one first.
    QString sentence = line;
    static const QString endings = QStringLiteral(".?!…");
    if (!sentence.isEmpty() && !endings.contains(sentence.back()))
        sentence += QLatin1Char('.');
    return sentence.toHtmlEscaped() + QLatin1String(" <a href=\"#ranges\">") +
           link.toHtmlEscaped() + QLatin1String("</a>");
}
