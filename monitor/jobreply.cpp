// Status reply tokenizer.
#include "monitor/jobreply.h"

#include "platform/bytetext.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

bool isSeparator(char c)
{
    return c == ',' || c == '"' || c == '}';
}

struct Token {
    int begin;
    int end;
};

std::vector<Token> tokens(const QByteArray& text)
{
    std::vector<Token> found;
    int i = 0;
    const int size = text.size();
    while (i < size) {
        while (i < size && isSeparator(text[i]))
            ++i;
        const int begin = i;
        while (i < size && !isSeparator(text[i]))
            ++i;
        if (i > begin)
            found.push_back({begin, i});
    }
    return found;
}

// The value of the key that ends at `keyEnd`: from 3 characters on (past `":"`) to the next
// double quote, at most `capacity` bytes.
QByteArray valueAfter(const QByteArray& text, int keyEnd, int capacity)
{
    const int begin = keyEnd + 3;
    if (begin >= text.size())
        return QByteArray();
    int end = text.indexOf('"', begin);
    if (end < 0)
        end = text.size();
    return text.mid(begin, qMin(end - begin, capacity));
}

// valueAfter as text with its bytes kept: the service echoes paths byte for byte.
QString textAfter(const QByteArray& text, int keyEnd, int capacity)
{
    const QByteArray value = valueAfter(text, keyEnd, capacity);
    return textOfBytes(std::string_view(value.constData(), static_cast<size_t>(value.size())));
}

bool tokenIs(const QByteArray& text, const Token& token, const char* word)
{
    const int length = static_cast<int>(strlen(word));
    return token.end - token.begin == length &&
           qstrnicmp(text.constData() + token.begin, word, static_cast<uint>(length)) == 0;
}

} // namespace

JobReply parseJobReply(const QByteArray& text, QString& address)
{
    JobReply reply;
    const std::vector<Token> all = tokens(text);
    for (size_t i = 0; i < all.size(); ++i) {
        const Token& t = all[i];
        if (tokenIs(text, t, "progress")) {
            reply.progress = atoi(valueAfter(text, t.end, 31).constData());
        } else if (tokenIs(text, t, "result")) {
            reply.result = atoi(valueAfter(text, t.end, 31).constData());
            if (reply.result == -1)
                reply.progress = -1;
            ++i;
        } else if (tokenIs(text, t, "resultstring")) {
            if (reply.resultString.isEmpty())
                reply.resultString = textAfter(text, t.end, kResultStringCapacity);
        } else if (tokenIs(text, t, "source")) {
            reply.source = textAfter(text, t.end, kReplyPathCapacity);
        } else if (tokenIs(text, t, "target")) {
            reply.target = textAfter(text, t.end, kReplyPathCapacity);
        } else if (tokenIs(text, t, "profile")) {
            reply.profile = textAfter(text, t.end, kReplyProfileCapacity);
        } else if (tokenIs(text, t, "address")) {
            address = textAfter(text, t.end, kReplyPathCapacity);
        } else if (tokenIs(text, t, "copy not found")) {
            ++reply.notFound;
        }
    }
    return reply;
}
