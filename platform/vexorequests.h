// The requests this program sends to the VexoBase transcoding service: its port, method,
// header and time-outs, every URL template, and the pieces from which job strings and the
// status, purge and abort requests derived from them are built. Paths are passed in already
// normalised (vexoFixSeperators) and unencoded: qzOSHTTPCommand encodes on the way out.
// Every `host` is a service address: a host name or IPv4 address, with ":port" when the
// service is not on kVexoPort.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Port of the service on the service host.
constexpr int kVexoPort = 1080;

// "host:port" of the service address `host`: as it is when it names its port, else with
// kVexoPort. Every URL of a service starts with "http://", this, "/".
std::string vexoServiceAuthority(const std::string& host);

// Method and header of every request.
constexpr const char* kVexoMethod = "GET";
constexpr const char* kVexoHeader = "Content-Type:application/xml";
// Time-out of job, status, purge and abort requests, and of the address request.
constexpr uint32_t kVexoTimeoutMs = 100;
constexpr uint32_t kVexoAddressTimeoutMs = 250;

// Appended to every job start request.
constexpr const char* kVexoTimeConversion = "&flags=timeconversion";
// Appended, with a decimal limit, to a wrap request with a duration and to a proxy or
// mezzanine request with a file limit.
constexpr const char* kVexoFixOut = "&fixout=true&absin=0&absout=";

// The mark after the service address in every job string; status and abort requests keep
// the text before it.
constexpr const char* kVexoQueryMark = "vexojson?";
// Start of the status request built from a job string (the job's own fragments follow).
constexpr const char* kVexoStatusQuery = "vexojson?request=get&group=any";
// Start of the abort request built from a job string, and its end.
constexpr const char* kVexoAbortQuery = "vexojson?request=set&group=any";
constexpr const char* kVexoAbortEnd = "&abort=true";

// The job starts with a fixed profile.
enum class VexoJob { Xmp, Rtin, Wrap, Md5 };

// Job start of an XMP, RTIN, wrap or MD5 job.
std::string vexoJobRequest(VexoJob job, const std::string& host, const std::string& client,
                           const std::string& source, const std::string& target);

// Job start of a picon of `width` pixels at `frame` with JPEG `quality`.
std::string vexoPiconRequest(const std::string& host, const std::string& client,
                             const std::string& source, const std::string& target, int width,
                             int frame, int quality);

// Job start of a proxy or mezzanine in `profile` at `kiloBitRate`; a height or width below 1
// is left out of the request.
std::string vexoCompRequest(const std::string& host, const std::string& client,
                            const std::string& source, const std::string& target,
                            const std::string& profile, int kiloBitRate, int height, int width);

// Abort of a stalled job, which the service also clears.
std::string vexoStalledAbortRequest(const std::string& host, const std::string& client,
                                    const std::string& source, const std::string& target,
                                    const std::string& profile);

// Address request: any non-empty reply means the service is available.
std::string vexoAddressRequest(const std::string& host, const std::string& client);

// Purge of every completed job on the service, sent at a fresh start.
std::string vexoPurgeAllRequest(const std::string& host);

// Reachability probe of the main window; the host is also the client.
std::string vexoProbeRequest(const std::string& host);

// The job string handed to the monitor: the request URL, "&type=" and the element word, and
// "&cwstimeout=10" for a job that was not sent.
std::string vexoJobString(const std::string& url, const std::string& elementWord, bool sent);

// The purge of an ended job: its status request with "request=get" after the query mark
// turned into "request=set" and "&purge=true" appended.
std::string vexoPurgeRequest(const std::string& statusUrl);

// Sends `url` to the service (kVexoMethod, kVexoHeader) and gives the reply text, or nothing
// when no reply came within `timeoutMs`.
std::optional<std::string> vexoSendRequest(const std::string& url, uint32_t timeoutMs);
