// The element table.
#include "db/elements.h"

#include <algorithm>
#include <strings.h>

namespace
{

// How an instance makes each element that it makes; the other elements keep the defaults.
void describeMaking(dbCwsElement& e)
{
    switch (e.code) {
    case CWS_ELEMENT_PICON:
        e.makeKey = "MakePicons", e.dirKey = "PiconDir", e.flagsKey = "PiconFlags";
        e.noun = "Picon", e.startLabel = "Make Picon %1", e.startLine = "MakePicon=<%s> ";
        e.endLine = "EndPicon=<%s> In progress : %d md5 : %d";
        e.requestText = "in progress", e.makesFolders = true;
        e.recoveredInProgress = "Picon", e.recoveredWaiting = "picon", e.completionRank = 1;
        e.checkText = "Picon", e.checkPlace = 1, e.switchWord = "makepicon";
        break;
    case CWS_ELEMENT_XMP:
        e.makeKey = "MakeXMP", e.dirKey = "XMPDir", e.flagsKey = "XMPFlags";
        e.noun = "XMP", e.startLabel = "Make XMP %1", e.startLine = "MakeXMP=<%s> ";
        e.endLine = "EndXMP=<%s> In progress : %d md5 : %d", e.makesFolders = true;
        e.recoveredInProgress = "XMP", e.recoveredWaiting = "XMP", e.completionRank = 2;
        e.checkText = "XMP", e.checkPlace = 2, e.switchWord = "makexmp";
        break;
    case CWS_ELEMENT_PROXY:
        e.makeKey = "MakeProxy", e.dirKey = "ProxyDir", e.flagsKey = "ProxyFlags";
        e.noun = "Proxy", e.startLabel = "Make Proxy %1", e.startLine = "MakeProxy=<%s> ";
        e.endLine = "EndCompFile=<%s>  In progress : %d md5 : %d";
        e.shortClipText = "Proxy will not be created due to clip length", e.makesFolders = true;
        e.recoveredInProgress = "Proxy", e.recoveredWaiting = "Proxy", e.completionRank = 3;
        e.checkText = "Proxy", e.checkPlace = 3, e.switchWord = "makeproxy";
        break;
    case CWS_ELEMENT_MEZZANINE:
        e.makeKey = "MakeMezzanine", e.dirKey = "MezzanineDir", e.flagsKey = "MezzanineFlags";
        e.noun = "Mezzanine", e.startLabel = "Make Mezzanine %1";
        e.startLine = "MakeMezzanine=<%s> ",
        e.endLine = "EndCompFile=<%s>  In progress : %d md5 : %d";
        e.shortClipText = "Mezzanine will not be created due to clip length";
        e.makesFolders = true, e.recoveredInProgress = "Mezzanine";
        e.recoveredWaiting = "Mezzanine", e.completionRank = 4;
        e.checkText = "Mezzanine", e.checkPlace = 4, e.switchWord = "makemezzanine";
        break;
    case CWS_ELEMENT_RTIN:
        e.makeKey = "MakeRtin", e.dirKey = "RtinDir", e.flagsKey = "RtinFlags";
        e.noun = "Rtin", e.startLabel = "Make Rtin %1", e.startLine = "MakeRTIN=<%s> ";
        e.endLine = "EndRTIN=<%s>  In progress : %d md5 : %d", e.requestText = "in progress";
        e.recoveredInProgress = "Rtin", e.recoveredWaiting = "Rtin", e.completionRank = 5;
        e.checkText = "Index", e.checkPlace = 6, e.switchWord = "makeindex";
        break;
    case CWS_ELEMENT_MD5:
        e.makeKey = "MakeMD5", e.noun = "MD5";
        e.endLine = "EndMD5=<%s>  In progress : %d md5 : %d";
        e.requestText = "in progress", e.requestError = "Making MD5", e.completionRank = 6;
        e.checkText = "MD5", e.checkPlace = 7, e.switchWord = "makemd5";
        break;
    case CWS_ELEMENT_NUMBERED0: // the server messages
        e.makeKey = "SendMessages", e.startLabel = "Send Message %1";
        e.startLine = "MakeSendMsg=<%s> ", e.completionRank = 7;
        e.checkText = "Messages", e.checkPlace = 5;
        break;
    case CWS_ELEMENT_WRAP:
        e.makeKey = "MakeWrap", e.dirKey = "WrapDir", e.flagsKey = "WrapFlags";
        e.noun = "Wrap", e.startLabel = "Wrap File %1", e.startLine = "MakeWrap=<%s> ";
        e.endLine = "EndWrap=<%s>  In progress : %d md5 : %d";
        e.shortClipText = "Wrap will not be created due to clip length", e.makesFolders = true;
        e.completionRank = 8;
        break;
    default:
        break;
    }
}

std::vector<dbCwsElement> makeElements()
{
    auto output = [](unsigned code, const char* word, const std::string& prefix) {
        return dbCwsElement{code,
                            dbCwsElementKind::Output,
                            word,
                            prefix + "Value",
                            prefix + "Path",
                            prefix + "Error",
                            ""};
    };
    std::vector<dbCwsElement> elements{
        {CWS_ELEMENT_CLIP, dbCwsElementKind::Clip, "clip", "Complete", "", "", ""},
        output(CWS_ELEMENT_PICON, "picon", "Picon"),
        output(CWS_ELEMENT_XMP, "xmp", "XMP"),
        output(CWS_ELEMENT_PROXY, "proxy", "Proxy"),
        output(CWS_ELEMENT_MEZZANINE, "mezzanine", "Mezzanine"),
        output(CWS_ELEMENT_RTIN, "rtin", "RTIN"),
    };
    for (int n = 0; n < CWS_NUMBERED_ELEMENTS; ++n) {
        const std::string column = "Element" + std::to_string(n);
        const unsigned code = CWS_ELEMENT_NUMBERED0 << n;
        const std::string word = code == CWS_ELEMENT_WRAP ? "wrap" : "element" + std::to_string(n);
        elements.push_back({code, dbCwsElementKind::Numbered, word, column + "State",
                            column + "Value", column + "Error", column});
    }
    elements.push_back({CWS_ELEMENT_MD5, dbCwsElementKind::MD5, "md5", "", "", "", "MD5"});
    for (dbCwsElement& e : elements)
        describeMaking(e);
    return elements;
}

} // namespace

const std::vector<dbCwsElement>& dbCwsElements()
{
    static const std::vector<dbCwsElement> elements = makeElements();
    return elements;
}

int dbCwsElementIndex(unsigned code)
{
    const auto& elements = dbCwsElements();
    for (size_t i = 0; i < elements.size(); ++i)
        if (elements[i].code == code)
            return static_cast<int>(i);
    return -1;
}

const dbCwsElement* dbCwsFindElement(unsigned code)
{
    const int index = dbCwsElementIndex(code);
    return index < 0 ? nullptr : &dbCwsElements()[static_cast<size_t>(index)];
}

const dbCwsElement* dbCwsFindElementByWord(const std::string& word)
{
    for (const dbCwsElement& element : dbCwsElements())
        if (strcasecmp(element.word.c_str(), word.c_str()) == 0)
            return &element;
    return nullptr;
}

std::vector<const dbCwsElement*> dbCwsElementsBy(int dbCwsElement::*field)
{
    std::vector<const dbCwsElement*> chosen;
    for (const dbCwsElement& element : dbCwsElements())
        if (element.*field > 0)
            chosen.push_back(&element);
    std::sort(chosen.begin(), chosen.end(), [field](const dbCwsElement* a, const dbCwsElement* b) {
        return a->*field < b->*field;
    });
    return chosen;
}
