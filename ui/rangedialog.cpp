#include "rangedialog.h"

#include "addressranges.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int dialogWidth = 440;
// Sweeps shorter than this start without a word on their length.
constexpr quint64 estimateFromSeconds = 3;
// Characters of a word after which a line may break within it.
constexpr int wordPiece = 24;

} // namespace

RangeDialog::RangeDialog(const QString &text, const QList<LocalAddress> &localAddresses, int rate,
                         QWidget *parent)
    : QDialog(parent)
    , localAddresses(localAddresses)
    , rate(rate)
{
    setWindowTitle(tr("Search other networks"));
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(tr("Devices behind a router do not hear the search. Give their "
                                "addresses, and each of them is asked directly:"),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    field = new QLineEdit(text, this);
    field->setPlaceholderText(tr("for example 10.2.0.0/24, 10.3.0.10-99"));
    field->setAccessibleName(tr("Addresses to search"));
    intro->setBuddy(field);
    layout->addWidget(field);

    message = new QLabel(this);
    // It quotes what was typed: never read as markup.
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    // The dialog keeps its width whatever is typed: the field scrolls, the message wraps.
    message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    message->setAccessibleName(tr("Problem with the addresses"));
    layout->addWidget(message);

    auto *buttons = new QDialogButtonBox(this);
    searchButton = buttons->addButton(tr("Search"), QDialogButtonBox::AcceptRole);
    QPushButton *clearButton = buttons->addButton(tr("Clear"), QDialogButtonBox::ResetRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    clearButton->setEnabled(!text.isEmpty());
    clearButton->setToolTip(tr("Search only this computer's own networks again"));

    connect(field, &QLineEdit::textChanged, this, &RangeDialog::check);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(clearButton, &QPushButton::clicked, this, [this] {
        field->clear();
        accept();
    });
    check();
    resize(dialogWidth, sizeHint().height());
}

QString RangeDialog::rangesText() const
{
    return field->text().trimmed();
}

void RangeDialog::check()
{
    QString error;
    const QVector<AddressRange> ranges = parseAddressRanges(field->text(), &error, localAddresses);
    quint64 addresses = 0;
    for (const AddressRange &range : ranges)
        addresses += range.size();
    message->setText(error.isEmpty() ? estimate(addresses, rate) : breakable(error));
    searchButton->setEnabled(error.isEmpty() && !ranges.isEmpty());
}

QString RangeDialog::estimate(quint64 addresses, int rate)
{
    if (rate <= 0)
        return QString();
    const quint64 seconds = (addresses + quint64(rate) / 2) / quint64(rate);
    if (seconds < estimateFromSeconds)
        return QString();
    const QString count = groupedNumber(addresses);
    const QString perSecond = groupedNumber(quint64(rate));
    if (seconds < 120)
        return tr("Asking %1 addresses takes about %2 seconds at %3 requests a second.")
            .arg(count, QString::number(seconds), perSecond);
    const quint64 minutes = (seconds + 30) / 60;
    return tr("Asking %1 addresses takes about %2 minutes at %3 requests a second.")
        .arg(count, QString::number(minutes), perSecond);
}

QString RangeDialog::breakable(const QString &text)
{
    QString result;
    int run = 0;
    for (const QChar c : text) {
        result += c;
        run = c.isSpace() ? 0 : run + 1;
        if (run == wordPiece) {
            result += QChar(0x200b);
            run = 0;
        }
    }
    return result;
}
