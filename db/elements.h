// The element model of the clip database: database kinds, state codes, element codes and the
// one table that ties each element code to its columns and its word. Every database
// operation, and every part of the program that names an element, looks it up here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Database kinds: the low byte of the kind word handed to dbCWSOpen.
constexpr uint32_t CWS_DB_SQLITE = 1;
constexpr uint32_t CWS_DB_MYSQL = 2;
constexpr uint32_t CWS_DB_MONGO = 16; // known to testSqlConnect only
// Bit of the kind word that asks dbCWSOpen to create a new database.
constexpr uint32_t CWS_DB_CREATE = 0x10000000;

// State codes of directories, clips and elements; NULL or 0 is "not yet attempted".
constexpr int QZ_FINISHED = 1;
constexpr int QZ_IN_PROGRESS = 2;
constexpr int QZ_WAIT_PROCESS = 3;
constexpr int QZ_ERROR = 4;
constexpr int QZ_NETWORK_ERROR = 5;
constexpr int QZ_FOUND_FILE = 6;
constexpr int QZ_LOST_PROCESS = 7;
// Checked of a searched directory whose files are not all settled yet: it is searched again
// once they may have, or at the next start.
constexpr int CWS_DIR_SETTLING = 8;

// Element codes: the bit by which operations and jobs name an element.
constexpr unsigned CWS_ELEMENT_PICON = 1;
constexpr unsigned CWS_ELEMENT_XMP = 2;
constexpr unsigned CWS_ELEMENT_PROXY = 4;
constexpr unsigned CWS_ELEMENT_MEZZANINE = 8;
constexpr unsigned CWS_ELEMENT_NUMBERED0 = 16; // numbered element N is CWS_ELEMENT_NUMBERED0 << N
constexpr unsigned CWS_ELEMENT_WRAP = CWS_ELEMENT_NUMBERED0 << 9;
constexpr unsigned CWS_ELEMENT_RTIN = 16384;
constexpr unsigned CWS_ELEMENT_CLIP = 32768;
constexpr unsigned CWS_ELEMENT_MD5 = 65536;
constexpr int CWS_NUMBERED_ELEMENTS = 10;

// What kind of columns an element has.
enum class dbCwsElementKind {
    Output,   // a derived file: path, state and error columns
    Numbered, // numbered element N: text, value, state and error columns
    Clip,     // the clip itself: its Complete column
    MD5       // the MD5 text column
};

struct dbCwsElement {
    unsigned code;           // element code (CWS_ELEMENT_*)
    dbCwsElementKind kind;   // which columns it has
    std::string word;        // its word in jobs and commands: "picon", "wrap", "md5", ...
    std::string stateColumn; // state code column ("PiconValue", "Element0State", "Complete")
    std::string pathColumn;  // output path or value text ("PiconPath", "Element0Value")
    std::string errorColumn; // error text ("PiconError", "Element0Error")
    std::string textColumn;  // element text ("Element0", "MD5")

    // How an instance makes it. Null where the element has no such thing.
    const char* makeKey = nullptr;       // settings key of its on/off switch ("MakePicons")
    const char* dirKey = nullptr;        // settings key of its output folder ("PiconDir")
    const char* flagsKey = nullptr;      // settings key of its output flags ("PiconFlags")
    const char* noun = nullptr;          // in its failure texts ("Picon"); set for the job elements
    const char* startLabel = nullptr;    // operation text as the processing loop starts it
    const char* startLine = nullptr;     // debug log line as it is started ("MakePicon=<%s> ")
    const char* endLine = nullptr;       // debug log line once its request is sent
    const char* shortClipText = nullptr; // its reason when a still sequence is too short
    const char* requestText = nullptr;   // element text written with its request
    const char* requestError = nullptr;  // error text written with its request
    bool makesFolders = false;           // its target's folders are created first
    const char* recoveredInProgress = nullptr; // start-up: "found <clip> <this> in progress"
    const char* recoveredWaiting = nullptr;    // start-up: "found <clip> <this> waiting process"
    int completionRank = 0;           // its place in the clip completion check; 0: not checked
    const char* checkText = nullptr;  // the panel's check box
    int checkPlace = 0;               // the check box's place in the panel, from 1
    const char* switchWord = nullptr; // control words "set<word>" and "get<word>"
};

// Every element, in this order: the clip, picon, XMP, proxy, mezzanine, RTIN, the numbered
// elements 0 to 9, MD5. Columns an element lacks are empty.
const std::vector<dbCwsElement>& dbCwsElements();

// The element of `code`, or null for a code that names none.
const dbCwsElement* dbCwsFindElement(unsigned code);

// The element whose word is `word` (ignoring case), or null.
const dbCwsElement* dbCwsFindElementByWord(const std::string& word);

// Position of `code` in dbCwsElements(), or -1.
int dbCwsElementIndex(unsigned code);

// The elements that have `field` set, ordered by it (completionRank, checkPlace).
std::vector<const dbCwsElement*> dbCwsElementsBy(int dbCwsElement::*field);
