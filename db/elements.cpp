// The element table.
#include "db/elements.h"

#include <strings.h>

namespace
{

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
