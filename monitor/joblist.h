// QStringListThreadSafe: the job monitor's list of job strings, shared by the scanning thread
// (appends every job it starts), the monitor thread (polls, removes and re-appends jobs), the
// abort of all jobs and the instance's destructor (empties it). Every operation takes the
// list's own recursive mutex; a caller that must keep the list still across several operations
// (a whole abort pass) holds lock() itself, and the operations inside lock it again harmlessly.
#pragma once

#include <QRecursiveMutex>
#include <QStringList>

#include <functional>

class QStringListThreadSafe
{
public:
    QStringListThreadSafe() = default;
    // A copy holds the same strings under a fresh mutex of its own.
    QStringListThreadSafe(const QStringListThreadSafe& other);
    QStringListThreadSafe& operator=(const QStringListThreadSafe&) = delete;

    // The list's mutex, for callers that hold it across several operations.
    QRecursiveMutex* lock() { return &mutex_; }

    // Appends one job string (the same text may stand in the list more than once).
    void append(const QString& job);

    // A copy of the current entries, in order, taken under the mutex.
    QStringList snapshot() const;

    int size() const;
    bool isEmpty() const;

    // Removes the first (from the front) or last (from the back) entry equal to `job`, compared
    // whole and case-sensitively. False when there is none.
    bool removeFirst(const QString& job);
    bool removeLast(const QString& job);

    // Walks the list from the front and removes every entry for which `match` is true, each
    // entry examined once. Returns the removed entries in order.
    QStringList removeIf(const std::function<bool(const QString&)>& match);

    // Removes every entry.
    void clear();

private:
    mutable QRecursiveMutex mutex_; // guards jobs_
    QStringList jobs_;              // job strings in the order they were appended
};
