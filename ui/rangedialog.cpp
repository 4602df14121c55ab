#include "rangedialog.h"

#include "addressranges.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

RangeDialog::RangeDialog(const QString &text, const QList<LocalAddress> &localAddresses,
                         QWidget *parent)
    : QDialog(parent)
    , localAddresses(localAddresses)
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
    resize(440, sizeHint().height());
}

QString RangeDialog::rangesText() const
{
    return field->text().trimmed();
}

void RangeDialog::check()
{
    QString error;
    const QVector<AddressRange> ranges = parseAddressRanges(field->text(), &error, localAddresses);
    message->setText(error);
    searchButton->setEnabled(error.isEmpty() && !ranges.isEmpty());
}
