// The job list under its own recursive mutex.
#include "monitor/joblist.h"

#include <QMutexLocker>

QStringListThreadSafe::QStringListThreadSafe(const QStringListThreadSafe& other)
    : jobs_(other.snapshot())
{
}

void QStringListThreadSafe::append(const QString& job)
{
    QMutexLocker locker(&mutex_);
    jobs_.append(job);
}

QStringList QStringListThreadSafe::snapshot() const
{
    QMutexLocker locker(&mutex_);
    return jobs_;
}

int QStringListThreadSafe::size() const
{
    QMutexLocker locker(&mutex_);
    return jobs_.size();
}

bool QStringListThreadSafe::isEmpty() const
{
    QMutexLocker locker(&mutex_);
    return jobs_.isEmpty();
}

bool QStringListThreadSafe::removeFirst(const QString& job)
{
    QMutexLocker locker(&mutex_);
    const int index = jobs_.indexOf(job);
    if (index < 0)
        return false;
    jobs_.removeAt(index);
    return true;
}

bool QStringListThreadSafe::removeLast(const QString& job)
{
    QMutexLocker locker(&mutex_);
    const int index = jobs_.lastIndexOf(job);
    if (index < 0)
        return false;
    jobs_.removeAt(index);
    return true;
}

QStringList QStringListThreadSafe::removeIf(const std::function<bool(const QString&)>& match)
{
    QMutexLocker locker(&mutex_);
    QStringList removed;
    for (int i = 0; i < jobs_.size();) {
        if (match(jobs_[i]))
            removed.append(jobs_.takeAt(i));
        else
            ++i;
    }
    return removed;
}

void QStringListThreadSafe::clear()
{
    QMutexLocker locker(&mutex_);
    jobs_.clear();
}
