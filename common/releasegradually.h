#pragma once

#include <memory>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVector>

// Letting go of a list of tens of thousands of devices frees hundreds of thousands of blocks,
// which at once would hold up the window for many milliseconds. Such a list is emptied instead
// a slice at a time, one slice per pass of the event loop.
namespace GradualRelease {

constexpr int sliceSize = 2048;

template<typename T> void dropSlice(QList<T> &list)
{
    list.erase(list.end() - qMin(sliceSize, list.size()), list.end());
}

template<typename T> void dropSlice(QVector<T> &vector)
{
    vector.erase(vector.end() - qMin(sliceSize, vector.size()), vector.end());
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
    if (!held->isEmpty() && context)
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
