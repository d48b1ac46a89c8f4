// CWSSettings: one scanner instance's settings record. The fields carry the names of their
// keys in the instance's settings group; the values below are those set at construction.
// The record is a plain value: CQZClipwatch keeps it under its settings mutex and hands out
// copies, so no thread ever reads a text while another rewrites it.
#pragma once

#include <string>

struct CWSSettings {
    std::string Dir;            // scan directory, ending in its separator
    std::string DataBase;       // SQLite file path, or the database name for MySQL
    std::string DBUsername;     // database user (MySQL)
    std::string DBPassword;     // database password (MySQL)
    int MaxMD5s = 20;           // most MD5 jobs in progress at once, all instances together
    int MaxTranslations = 10;   // most other jobs in progress at once, all instances together
    int DBPort = 0;             // database port (MySQL)
    std::string DBHost;         // database host (MySQL)
    int DBType = 0;             // database kind code
    std::string SkipDir;        // directory names to skip, ";"-separated
    std::string SkipName;       // file or directory names to skip, ";"-separated
    std::string SkipExtensions; // the user's extensions to skip, ".a.b"
    char Separator = '/';       // path separator of the scan directory
    std::string cmdip;          // "client=" value of this instance's service requests
    bool MakePicons = false;    // make picons
    std::string PiconDir;       // picon output directory, ending in its separator
    int PiconFlags = 0;         // picon flags
    double PiconPercent = 0;    // picon position as a percentage of the clip
    int PiconFrame = 400;       // picon frame number
    bool MakeProxy = false;     // make proxies
    int PiconWidth = 120;       // picon width in pixels
    int ProxyMode = 197;        // proxy mode code
    int ProxyWidth = 0;         // proxy width
    int ProxyHeight = 0;        // proxy height
    int ProxyScale = 1;         // proxy scale
    int ProxyCompression = 0x61766331;     // four-character code "avc1"
    int ProxyDataRate = 2000;              // proxy data rate
    int ProxyFlags = 0;                    // proxy flags
    std::string ProxyDir;                  // proxy output directory, ending in its separator
    std::string ProxyAudioRouting;         // audio routing for proxies
    bool MakeMezzanine = false;            // make mezzanine files
    std::string MezzanineModeS;            // mezzanine mode word, at most 63 characters
    std::string MezzanineTypeS;            // mezzanine type word, at most 63 characters
    int MezzanineCompression = 0x61766331; // four-character code "avc1"
    int MezzanineDataRate = 10000;         // mezzanine data rate
    int MezzanineFlags = 0;                // mezzanine flags (its mode number)
    int MezzanineWidth = 0;                // mezzanine width
    int MezzanineHeight = 0;               // mezzanine height
    int MezzanineGopSize = 0;              // mezzanine GOP size
    std::string MezzanineDir;              // mezzanine output directory, ending in its separator
    std::string MezzanineAudioRouting;     // audio routing for mezzanine files
    std::string ErrorCopyDirectory; // where unreadable clips are copied, ending in its separator
    bool AutoStart = false;         // scanning when last saved; started again at program start
    bool MakeRtin = false;          // make RTIN index files
    std::string RtinDir;            // RTIN output directory, ending in its separator
    int RtinFlags = 0;              // RTIN flags
    bool MakeXMP = false;           // make XMP sidecars
    int XMPFlags = 0;               // XMP flags
    std::string XMPDir;             // XMP output directory, ending in its separator
    bool MakeMD5 = false;           // make MD5 checksums
    bool SendMessages = false;      // send server messages
    int DebugOutFlags = 0x30100;    // bit set of extra log output
    bool MakeWrap = false;          // make wrapped copies
    int WrapDuration = 100;         // wrap duration
    int WrapFlags = 0;              // wrap flags
    std::string WrapDir;            // wrap output directory (no separator appended)
    int MinimumStillLength = 10;    // fewest images that make a still sequence a clip
    int SettleSeconds = 10; // a found file becomes a clip once unchanged this long (0: at once)
    bool SkipExtensionsIngoreDefault = false; // the user's skip list replaces the built-in one
    bool UseOnlySpecifiedExtensions = false;  // scan only UseOnlyExtensions
    std::string UseOnlyExtensions;            // extensions to scan when the flag above is set
    std::string ProxyCmdFlags;                // extra command flags for proxy jobs
    std::string MezzanineCmdFlags;            // extra command flags for mezzanine jobs
    int CompressedFileLimit = 0;              // limit used for compressed files
    int StartingState = 1;    // state that the command "start" sends the instance to
    std::string ServiceHosts; // "address:port;..." of the services; empty: serviceHost alone
    std::string FarmHost;     // this host's name in a MySQL catalogue shared with other hosts
    int ClaimSeconds = 60;    // how long a host's claim on work holds unless it is renewed

    // Computed, never stored.
    std::string effectiveSkipList; // built-in and/or user extensions to skip
    std::string scanExtensions;    // extensions that are searched for clips
    std::string serviceHost;       // host part of every service request URL
};
