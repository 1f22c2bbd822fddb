#pragma once

#include "data/DataStore.h"

#include <QStringList>

namespace zendrel {

enum class Program { Main, Monitor };

// The value of the command line's "Data" flag ("Data=DIR", also "/Data=DIR"), or blank.
QString dataDirectoryArgument(const QStringList& arguments);

// Makes the data directory the current one. On failure shows a message naming it and returns false:
// the program then ends before any table is opened or created.
bool enterDataDirectory(const QString& directory, MessageService& messages);

// The tables a program declares, in the order of its declarations.
struct TableDeclaration {
    QString prefix;
    QString description;
    int number;
};
std::vector<TableDeclaration> tableDeclarations(Program program);

} // namespace zendrel
