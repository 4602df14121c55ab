#pragma once

#include <algorithm>
#include <memory>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSet>

// Letting go of a list of tens of thousands of devices frees hundreds of thousands of blocks,
// which at once would hold up the window for many milliseconds. Such a list is emptied instead
// a slice at a time, one slice per pass of the event loop.
namespace GradualRelease {

constexpr int sliceSize = 2048;

// QList, QVector (one type since Qt 6), std::vector, std::deque.
template<typename Sequence> void dropSlice(Sequence &sequence)
{
    using Size = decltype(sequence.size());
    sequence.erase(sequence.end() - std::min(Size(sliceSize), sequence.size()), sequence.end());
}

template<typename T> void dropSlice(QSet<T> &set)
{
    auto it = set.begin();
    for (int n = 0; n < sliceSize && it != set.end(); ++n)
        it = set.erase(it);
}

template<typename Container>
void releaseSlices(const std::shared_ptr<Container> &held, const QPointer<QObject> &context)
{
    dropSlice(*held);
    // Once the context is gone, whatever is left goes with the last copy of held.
    if (!held->empty() && context)
        QMetaObject::invokeMethod(
            context, [held, context] { releaseSlices(held, context); }, Qt::QueuedConnection);
}

} // namespace GradualRelease

// Takes the elements out of container at once, leaving it empty, and destroys them from the
// event loop of context's thread, a slice per pass. A small container is destroyed right away.
template<typename Container> void releaseGradually(Container &container, QObject *context)
{
    auto held = std::make_shared<Container>();
    held->swap(container);
    if (held->size() > GradualRelease::sliceSize)
        GradualRelease::releaseSlices(held, context);
}
