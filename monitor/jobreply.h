// The monitor's reading of a status reply: a flat object of quoted keys and quoted values,
// cut into tokens at commas, double quotes and closing braces.
#pragma once

#include <QByteArray>
#include <QString>

// Values of one status reply.
struct JobReply {
    int progress = -1;    // 0..10000, -1 failed, -2 lost; -1 until the reply gives one
    int result = 0;       // 0 success, else the failure code
    QString resultString; // first "resultstring" of the reply
    QString source;       // last "source"
    QString target;       // last "target"
    QString profile;      // last "profile"
    int notFound = 0;     // how many "copy not found" tokens the reply holds
};

// Capacities of the reply values, in bytes less the terminator: longer values are cut.
constexpr int kResultStringCapacity = 8191;
constexpr int kReplyPathCapacity = 4095;
constexpr int kReplyProfileCapacity = 255;

// Parses `reply`. `address` is the reply address kept between polls: an "address" value
// replaces it, a reply without one leaves it.
JobReply parseJobReply(const QByteArray& reply, QString& address);
