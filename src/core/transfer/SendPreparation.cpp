#include "core/transfer/SendPreparation.h"

#include "core/base/SafeFile.h"
#include "core/song/CsfSongImage.h"
#include "core/song/SmfMerge.h"
#include "core/transfer/TransferSession.h"

namespace {

using Prompt = PromptService::Prompt;
using Icon = PromptService::Icon;
using Buttons = PromptService::Buttons;

const QString updataCaption = QStringLiteral("Zorvik Updata");
const QString midiCheckCaption = QStringLiteral("Novrel software V1.0 ");

SendPreparation::Result fail(const QString &text, const QString &caption = {}, Icon icon = Icon::None,
                             Buttons buttons = Buttons::Ok)
{
    SendPreparation::Result result;
    result.problem = Prompt{text, caption, icon, buttons};
    return result;
}

SendPreparation::Result notMidi()
{
    return fail(QStringLiteral("ERROR, The input file is not a MIDI file!"), midiCheckCaption);
}

} // namespace

PromptService::Prompt SendPreparation::confirmation()
{
    return Prompt{QStringLiteral("This file will be sent to midi device. Are you sure?\r\n"),
                  QStringLiteral("Zorvik Halden"), Icon::Stop, Buttons::YesNo};
}

PromptService::Prompt SendPreparation::mergeQuestion()
{
    return Prompt{QStringLiteral("Convert it to format 0 and send?"), midiCheckCaption, Icon::Question, Buttons::YesNo};
}

PromptService::Prompt SendPreparation::cannotMerge(const QString &why)
{
    return Prompt{QStringLiteral("This song cannot be converted to format 0: %1.").arg(why), midiCheckCaption,
                  Icon::Warning, Buttons::Ok};
}

QString SendPreparation::formatZeroName(const QString &songName)
{
    const qsizetype dot = songName.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? songName.left(dot) : songName) + QStringLiteral("-0.mid");
}

SendPreparation::Result SendPreparation::prepare(const LibraryLocation &library, FileKind kind, const QString &entry)
{
    if (entry.isEmpty()) {
        return fail(QStringLiteral("Please check the updata file!"),
                    kind == FileKind::Firmware ? QStringLiteral("Zorvik Halden") : QString());
    }
    // The list only ever holds plain names; anything else would read outside the kind's folder.
    if (!DataPaths::isSafeFileName(entry)) {
        return fail(kind == FileKind::Csf ? QStringLiteral("Please check the updata file,it's err!")
                                          : QStringLiteral("The file can't be opened,please Select Right Download File, try again!"),
                    {}, Icon::None, kind == FileKind::Csf ? Buttons::Ok : Buttons::YesNo);
    }
    return prepareFile(kind, library.file(FileKinds::folder(kind), entry), entry);
}

SendPreparation::Result SendPreparation::prepareFile(FileKind kind, const QString &path, const QString &displayName)
{
    // The extension is compared exactly: SONG.SYX is listed but not sent.
    if (kind == FileKind::Template && !path.endsWith(QLatin1String("syx")))
        return fail(QStringLiteral("The File Must be *.syx!"), updataCaption, Icon::Warning);
    if (kind == FileKind::Firmware && !path.endsWith(QLatin1String("bin")))
        return fail(QStringLiteral("The File Must be *.bin!"), updataCaption, Icon::Warning);

    Result result;
    if (kind == FileKind::Csf) {
        const CsfSongImage::Result song = CsfSongImage::load(path);
        if (!song.ok)
            return fail(QStringLiteral("Please check the updata file,it's err!"));
        result.image = song.image;
    } else {
        const qint64 limit = kind == FileKind::Template ? maxTemplateFileSize : TransferSession::maxImageSize(kind);
        const SafeFile::ReadResult file = SafeFile::read(path, limit);
        if (file.status == SafeFile::ReadResult::Status::CannotOpen) {
            return fail(QStringLiteral("The file can't be opened,please Select Right Download File, try again!"), {},
                        Icon::None, Buttons::YesNo);
        }
        if (file.status == SafeFile::ReadResult::Status::TooLarge) {
            return fail(QStringLiteral("\"%1\" is too large to send: the instrument takes at most %2 bytes.")
                            .arg(displayName)
                            .arg(limit),
                        updataCaption, Icon::Warning);
        }
        result.image = file.bytes;
    }

    if (kind == FileKind::Song) {
        // A header needs its 14 bytes before the format can even be read.
        if (result.image.size() < 14 || !result.image.startsWith("MThd"))
            return notMidi();
        if (result.image.at(9) != 0) {
            Result refused = fail(QStringLiteral("   Sorry, this program only process MIDI file format 0!\n \nYou can use the "
                                                 "tool Trackmerge to change the midi file format!"),
                                  midiCheckCaption);
            refused.otherFormat = true;
            const SmfMerge::Result merged = SmfMerge::toFormatZero(result.image);
            const qint64 limit = TransferSession::maxImageSize(kind);
            if (!merged.ok) {
                refused.whyNotMerged = merged.problem;
            } else if (merged.file.size() > limit) {
                // One End of Track instead of many, but every status written out: it can grow.
                refused.whyNotMerged = QStringLiteral("merged, it would be %1 bytes, more than the %2 the instrument takes")
                                           .arg(merged.file.size())
                                           .arg(limit);
            } else {
                refused.formatZero = merged.file;
            }
            return refused;
        }
    }

    const QString refusal = TransferSession::refusal(kind, result.image);
    if (!refusal.isEmpty())
        return fail(refusal, updataCaption, Icon::Warning);
    result.ok = true;
    return result;
}
