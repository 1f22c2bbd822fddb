#include "session/Startup.h"

#include <QDir>
#include <QFileInfo>

namespace zendrel {

QString dataDirectoryArgument(const QStringList& arguments) {
    for (const QString& arg : arguments) {
        QString a = arg;
        if (a.startsWith(QLatin1Char('/')) || a.startsWith(QLatin1Char('-'))) {
            a = a.mid(a.startsWith(QLatin1String("--")) ? 2 : 1);
        }
        if (a.startsWith(QLatin1String("Data="), Qt::CaseInsensitive) && a.size() > 5) {
            return a.mid(5);
        }
    }
    return {};
}

bool enterDataDirectory(const QString& directory, MessageService& messages) {
    if (directory.isEmpty()) {
        return true;
    }
    const QFileInfo info(directory);
    if (!info.isDir() || !info.isExecutable() || !QDir::setCurrent(directory)) {
        messages.show(QStringLiteral("Data Directory"),
                      QStringLiteral("The data directory ") + directory +
                          QStringLiteral(" cannot be opened.  Press OK to end this application."));
        return false;
    }
    return true;
}

std::vector<TableDeclaration> tableDeclarations(Program program) {
    if (program == Program::Main) {
        return {{"CF", "Configuration", 10}, {"P_", "Passwords", 10},  {"SP_", "ScriptPaste", 2}, {"SF_", "SyncFile", 10},
                {"TIP", "TipOfTheDay", 0},   {"U_", "Users", 10},      {"W_", "Words", 0}};
    }
    return {{"CF", "Configuration", 10}, {"P_", "Passwords", 10}, {"SP_", "ScriptPaste", 2}, {"U_", "Users", 10},
            {"W_", "Words", 0}};
}

} // namespace zendrel
