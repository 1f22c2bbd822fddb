#include "base/MessageService.h"

#include <QStringList>

namespace zendrel {

MessageKind messageKind(const Message& m) {
    if (m.kind) {
        return *m.kind;
    }
    if (m.buttons != Buttons::Ok) {
        return MessageKind::Question;
    }
    static const QStringList warnings = {QStringLiteral("Warning"), QStringLiteral("Access Denied"),
                                         QStringLiteral("Range Error"), QStringLiteral("Duplicate Key Error"),
                                         QStringLiteral("Cannot Send")};
    if (warnings.contains(m.title.trimmed(), Qt::CaseInsensitive)) {
        return MessageKind::Warning;
    }
    if (m.title.contains(QStringLiteral("Error"), Qt::CaseInsensitive)) {
        return MessageKind::Error;
    }
    return MessageKind::Notice;
}

bool confirmDelete(MessageService& messages) {
    return messages.show(QStringLiteral("Confirm Delete"),
                         QStringLiteral("Are you sure you want to delete the highlighted record?"), Buttons::YesNo,
                         Answer::No) == Answer::Yes;
}

} // namespace zendrel
