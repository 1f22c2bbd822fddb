#pragma once

#include <QString>

namespace zendrel {

class StoreError;

// The texts of the messages about the store's files and about other files read or written beside them
// (exchange files, reports), each in one place for every layer that shows one.
namespace storeMessages {

// "File Access Error", the title of a file that cannot be opened, written or checked.
QString fileAccessTitle();
// "File (<file>) could not be opened.  Error: <why>."
QString cannotOpen(const QString& file, const QString& why);
// "File (<file>) could not be written.  Error: <why>."
QString cannotWrite(const QString& file, const QString& why);
// "Error: (<error text>) accessing <table or file>."
QString accessing(const QString& errorText, const QString& what);
// A failure of the password table: "Error: (<error text>) accessing Passwords."
QString accessingPasswords(const StoreError& e);

// The titles of a failed read of the password table and of a view that could not be opened over it.
QString retrievalTitle();
QString viewOpenTitle();

} // namespace storeMessages
} // namespace zendrel
