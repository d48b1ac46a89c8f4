// The proxy modes: each mode number's encoding profile and file extension, and the words by
// which the control connection sets and reports it.
#pragma once

#include <string>
#include <vector>

struct CWSProxyMode {
    int mode;              // the ProxyMode setting
    const char* profile;   // the service's profile name
    const char* extension; // the proxy file's extension
    const char* word;      // control: a set value beginning with it chooses the mode; null: none
    const char* name;      // control: the get reply's name; null: reported as unknown
};

const std::vector<CWSProxyMode>& cwsProxyModes();

// The mode numbered `mode`, or null.
const CWSProxyMode* cwsFindProxyMode(int mode);
