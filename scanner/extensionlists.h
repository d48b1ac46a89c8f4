// The extension lists of an instance: the built-in list of extensions never scanned, the
// effective skip list made from it and the user's list, and the scan extension list that the
// walk filters files by. Lists are extensions written one after the other, each with its dot.
#pragma once

#include <string>

// The built-in skip list (552 characters, repeated entries and one doubled dot included).
const std::string& cwsBuiltInSkipExtensions();

// The effective skip list: the user's list alone when `ignoreDefault` is set, else the built-in
// list followed by the user's list.
std::string cwsEffectiveSkipList(const std::string& userList, bool ignoreDefault);

// `extensions` without every entry that equals, ignoring case, a token of `skipList`
// (".mp" does not remove ".mp4"; a skip token of any length is compared whole).
std::string cwsRemoveExtensions(const std::string& extensions, const std::string& skipList);

// The scan extension list: the user's `useOnly` list when `useOnlySpecified` is set and the list
// is not empty, otherwise the readable media extensions less the effective skip list.
std::string cwsScanExtensions(const std::string& skipList, bool useOnlySpecified,
                              const std::string& useOnly);
