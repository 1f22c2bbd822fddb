#pragma once

#include "app/cli/Command.h"
#include "operations/EntryOperations.h"

namespace zendrel::cli {

// The field options that "entries add" and "entries change" share, and their help line.
void declareEntryFields(QCommandLineParser& p, bool changing);
QString entryFieldsUsage();
// Puts the given options into the entry; the seconds to wait are checked before they are narrowed,
// with the entry form's refusal. False after a refusal that has been shown.
bool applyEntryFields(const QCommandLineParser& o, PasswordRecord& e, MessageService& messages);
// The user's entry of that ID as stored now, or a refusal saying he has none.
PasswordRecord userEntry(Context& c, const UserRecord& user, int64_t id);
// One line of a listing: ID, service, name and URL separated by tabs.
void printListLine(std::ostream& out, const PasswordRecord& e);
// The entry form's outcome as an exit status.
int saved(const EntryOperations::Outcome& outcome);

} // namespace zendrel::cli
