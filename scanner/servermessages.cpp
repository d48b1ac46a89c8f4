// Server messages: the texts "Element0" to "Element9" of the instance's settings group, sent
// for one clip as HTTP requests (a text that names a URL) or run as local programs, each
// outcome written into its numbered element as (element text, state, error text). Runs on the
// scanning thread; a local program blocks it until the program ends.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "platform/bytetext.h"
#include "platform/qzlog.h"
#include "platform/qzpath.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch_p.h"

#include <QProcess>
#include <QSettings>

#include <utility>
#include <vector>

namespace
{

constexpr int kMessageCount = 10;
constexpr int kProgramPollMs = 1000;

// The clip values a message may name: its word (written "%WORD%" in a program's arguments)
// and the element whose output path it is (0: the anchor, directory or clip name).
enum class ClipValue { Anchor, SourceDir, ClipName, OutputPath };
const struct {
    const char* word;
    ClipValue value;
    unsigned code;
} kPlaceholders[] = {
    {"FILE_NAME", ClipValue::Anchor, 0},
    {"DIR_NAME", ClipValue::SourceDir, 0},
    {"DIRECTORY_NAME", ClipValue::SourceDir, 0},
    {"CLIP_NAME", ClipValue::ClipName, 0},
    {"PICON_NAME", ClipValue::OutputPath, CWS_ELEMENT_PICON},
    {"XMP_NAME", ClipValue::OutputPath, CWS_ELEMENT_XMP},
    {"PROXY_NAME", ClipValue::OutputPath, CWS_ELEMENT_PROXY},
    {"MEZZANINE_NAME", ClipValue::OutputPath, CWS_ELEMENT_MEZZANINE},
    {"RTIN_NAME", ClipValue::OutputPath, CWS_ELEMENT_RTIN},
};

// Program extensions, in the order they are looked for.
const char* const kProgramExtensions[] = {".exe", ".php", ".bat", ".cmd", ".js", ".jar"};

// Word and value of every placeholder for one clip.
using ClipValues = std::vector<std::pair<QString, QString>>;

ClipValues clipValues(dbCwsHandle* db, const std::string& anchor)
{
    std::string clipName, sourceDir;
    dbCWGetClipInfo(db, anchor, &clipName, &sourceDir, 0, 0, nullptr, nullptr, nullptr);
    ClipValues values;
    for (const auto& p : kPlaceholders) {
        std::string value;
        switch (p.value) {
        case ClipValue::Anchor:
            value = anchor;
            break;
        case ClipValue::SourceDir:
            value = sourceDir;
            break;
        case ClipValue::ClipName:
            value = clipName;
            break;
        case ClipValue::OutputPath:
            dbCWGetClipInfo(db, anchor, nullptr, nullptr, p.code, 0, &value, nullptr, nullptr);
            break;
        }
        values.emplace_back(p.word, textOfBytes(value));
    }
    return values;
}

// A network message: the pieces between "%" signs, each word of a placeholder (ignoring case)
// replaced by its value, joined again.
QString networkRequest(const QString& text, const ClipValues& values)
{
    QString request;
    for (const QString& piece : text.split('%', Qt::SkipEmptyParts)) {
        QString part = piece;
        for (const auto& [word, value] : values)
            if (piece.compare(word, Qt::CaseInsensitive) == 0)
                part = value;
        request += part;
    }
    return request;
}

// A local program's text split into the program and its argument text: up to and including
// the first program extension (ignoring case), else (POSIX) the first word.
std::pair<QString, QString> programAndArguments(const QString& text)
{
    for (const char* extension : kProgramExtensions) {
        const int at = text.indexOf(QLatin1String(extension), 0, Qt::CaseInsensitive);
        if (at >= 0) {
            const int end = at + static_cast<int>(strlen(extension));
            return {text.left(end), text.mid(end)};
        }
    }
    const QString trimmed = text.trimmed();
    const int space = trimmed.indexOf(' ');
    if (space < 0)
        return {trimmed, QString()};
    return {trimmed.left(space), trimmed.mid(space)};
}

} // namespace

void CQZClipwatch::SendMessagesToServer(const std::string& anchor, bool send, int id)
{
    QStringList texts;
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
        const QString group = QString("Instance%1").arg(Number());
        if (store.childGroups().contains(group))
            for (int i = 0; i < kMessageCount; ++i) {
                const QString text =
                    store.value(QString("%1/Element%2").arg(group).arg(i)).toString();
                if (text.isEmpty())
                    break;
                texts.append(text);
            }
    }
    const std::shared_ptr<dbCwsHandle> db = Database();
    const ClipValues values = texts.isEmpty() ? ClipValues() : clipValues(db.get(), anchor);
    const auto write = [&](unsigned code, int state, const QString& text, const QString& error) {
        dbCWSSetElementStatus(db.get(), id, anchor, code, bytesOfText(text).c_str(), nullptr, state,
                              bytesOfText(error).c_str());
    };
    for (int i = 0; i < texts.size(); ++i) {
        const unsigned code = CWS_ELEMENT_NUMBERED0 << i;
        const QString& text = texts[i];
        if (qzOSIsNetworkFile(text.toStdString())) {
            const QString request = networkRequest(text, values);
            if (!db || request.isEmpty())
                continue;
            const std::optional<std::string> reply =
                send ? vexoSendRequest(bytesOfText(request), kVexoTimeoutMs) : std::string();
            const QString replyText = textOfBytes(reply.value_or(std::string()));
            if (send && replyText.isEmpty())
                write(code, QZ_ERROR, replyText, "No response");
            else
                write(code, QZ_FINISHED, replyText, "Success");
            continue;
        }
        auto [program, arguments] = programAndArguments(text);
        for (const auto& [word, value] : values)
            arguments.replace("%" + word + "%", value);
        arguments = arguments.trimmed();
        QProcess process;
        process.start(program, {arguments}, QIODevice::ReadWrite);
        if (!process.waitForStarted()) {
            ErrOut("\nSendMesssagesToServer: unable to start <%s>", qUtf8Printable(program));
            write(code, QZ_ERROR, "Failed To Start", QString("Failed To Start %1").arg(program));
            continue;
        }
        process.closeWriteChannel();
        while (process.state() != QProcess::NotRunning)
            process.waitForFinished(kProgramPollMs);
        if (process.exitStatus() == QProcess::CrashExit) {
            write(code, QZ_ERROR, "Crash Exit", QString("Crash Exit %1").arg(arguments));
            ErrOut("\n Crash Exit SendMesssagesToServer %s %d", "clipwatch", 3628);
        } else {
            write(code, QZ_FINISHED, arguments, QString::number(process.exitCode()));
        }
    }
    LogRequestEnd("EndSrvMsg=<%s>  In progress : %d md5 : %d", anchor);
}
