// Skip and scan extension lists.
#include "scanner/extensionlists.h"

#include "platform/kinora.h"

#include <QString>
#include <QStringList>

namespace
{

// Tokens of a list: each from one "." up to the next "." or the end, the dot included
// (a doubled dot gives the token ".").
QStringList tokens(const std::string& list)
{
    QStringList out;
    const QString text = QString::fromStdString(list);
    int start = text.indexOf('.');
    while (start >= 0) {
        const int next = text.indexOf('.', start + 1);
        out << text.mid(start, next < 0 ? -1 : next - start);
        start = next;
    }
    return out;
}

} // namespace

const std::string& cwsBuiltInSkipExtensions()
{
    static const std::string list =
        ".doc.dot.wbk.docx.docm.dotx.dotm.docb.xls.xlt.xlm.xlsx.xlsm.xltx.xlsb.ppt.pot.pps.pptx."
        "pptm.potx.ppsx.ppsm.pub.xps.bim.bin.lrv.xmp.txt.bat.exe.com.bin.xml.html.htm.css.ttf."
        "woff.md.me.ack.ackr.acks.discontinuities.ttf.otf.lst.picon.jpg.json.md5.rtin.pmr.mdb.qc."
        "db.zip.arc.gz.pdf.ini.iso.rtf.dat.odt.ds_store.htaccess.idx.cfa.pek.mcc.scc.vtt.n0.dxfp."
        "gap.sam.sami.srt.stl.sub.sbv.ssa.ttml.webvtt.rtin.log.csv.v3d.qz3d.stereo.vlt.qc.db."
        "aegraphic.prlock.wav.aif.mp3.mp4a.aac.ac3.m4a..tscproj.ale.edl.ctl.prproj.ddrproj.fcp."
        "aep.aepx.veg.ezp.contents.fcpevent";
    return list;
}

std::string cwsEffectiveSkipList(const std::string& userList, bool ignoreDefault)
{
    return ignoreDefault ? userList : cwsBuiltInSkipExtensions() + userList;
}

std::string cwsRemoveExtensions(const std::string& extensions, const std::string& skipList)
{
    const QStringList skip = tokens(skipList);
    QString kept;
    for (const QString& ext : tokens(extensions))
        if (!skip.contains(ext, Qt::CaseInsensitive))
            kept += ext;
    return kept.toStdString();
}

std::string cwsScanExtensions(const std::string& skipList, bool useOnlySpecified,
                              const std::string& useOnly)
{
    if (useOnlySpecified && !useOnly.empty())
        return useOnly;
    return cwsRemoveExtensions(knSupportedExtensions(), skipList);
}
