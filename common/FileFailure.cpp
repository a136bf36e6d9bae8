#include "common/FileFailure.h"

#include "common/Text.h"

namespace trx {

std::u16string FailureReason(const FileFailure& failure) {
    std::u16string text;
    switch (failure.cause) {
        case FileFailure::Cause::Other:
            break;
        case FileFailure::Cause::LinkNotFollowed:
            text = u"'";
            text += failure.file;
            text +=
                u"' ist ein symbolischer Link, der weder root noch dem Eigentümer seines Ziels "
                u"gehört; ihm wird nicht gefolgt.";
            break;
        case FileFailure::Cause::Locked:
            text = u"'";
            text += failure.lockFile;
            text += u"' sperrt die Datei";
            if (failure.holderPid > 0) {
                text += u" (Prozess ";
                text += FromUtf8(std::to_string(failure.holderPid));
                if (!failure.holderProgram.empty()) {
                    text += u", " + failure.holderProgram;
                }
                if (!failure.holderHost.empty()) {
                    text += u", auf " + failure.holderHost;
                }
                text += u")";
            }
            text += u" und wurde nicht rechtzeitig freigegeben.";
            break;
    }
    return text;
}

}  // namespace trx
