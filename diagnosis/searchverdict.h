#pragma once

#include "searchreport.h"

#include <QCoreApplication>
#include <QStringList>

// Whether a search sent anything, the broadcast and the address ranges counted together, and
// which ranges to name: those to which nothing could be sent, those with some requests not
// sent, and, once the search has ended, those where no device answered. At most a few ranges
// of each kind are named and the rest counted, so that the texts stay short and cheap to make
// however many ranges there are. The window's status line and the finder both judge by it.
class SearchVerdict
{
    Q_DECLARE_TR_FUNCTIONS(SearchVerdict)

public:
    static constexpr int namedRanges = 5;

    explicit SearchVerdict(const SearchReport &report);

    // No request went out, neither the broadcast nor one to a range, and none still may.
    bool nothingSent() const;
    // The range requests go out to now, or nullptr (none left, or the sending was stopped).
    const SearchReport::RangeReport *sendingRange() const;
    // Ranges all of whose addresses were dealt with and to which not one request went out.
    int unsentRangeCount() const;
    // Ranges whose requests all went out and where no device answered: the search found
    // nothing there once it has ended.
    int silentRangeCount() const;
    // Addresses of all ranges, and those asked so far.
    quint64 rangeAddresses() const;
    quint64 rangeAddressesDone() const;
    // One line per named range and kind: nothing sent (and why), some requests not sent, and
    // when ended, no device answered; each kind followed by how many more there are.
    QStringList rangeLines(bool ended) const;

    // Whether a system error text says that no route leads to the destination.
    static bool meansNoRoute(const QString &error);

private:
    QString unsentLine(const SearchReport::RangeReport &range) const;
    QStringList partialLines(const SearchReport::RangeReport &range) const;
    QString silentLine(const SearchReport::RangeReport &range) const;

    const SearchReport &report;
    bool sent = false;
    int sending = -1;
    quint64 addresses = 0;
    quint64 addressesDone = 0;
    // The first few ranges of each kind, by index, and how many there are.
    struct Kind
    {
        QList<int> named;
        int count = 0;

        void add(int index)
        {
            if (count++ < namedRanges)
                named << index;
        }
    };
    Kind unsent;
    Kind partial;
    Kind silent;
};
