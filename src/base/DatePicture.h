#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>

namespace zendrel {

// Puts the program-wide date picture code (such as "d4") in place of every date picture of a list
// format or a field picture: each picture whose type letter is D or d, from its "@" up to and including
// the next "@" (or to the end of a field picture, which has no closing "@"). Headings between "~" are
// left alone, so an "@" in a column heading is not taken for a picture. A blank code, or one that is not
// a date picture code, leaves the format unchanged.
QString replaceDatePictures(const QString& format, const QString& code);

// A day number in the picture of a date picture code ("d1" to "d18", any letter case, with or without
// the leading "@"). A blank or unknown code gives the system's short date, always with a four-digit year;
// day 0 (no date) gives "".
QString formatDate(int32_t day, const QString& code);

// A date typed in the form a date picture code shows (or as 2033-11-22): its day number; 0 for a blank
// text (no date), -1 for a text that is no date. Two-digit years fall in 1980 to 2079; pictures without
// a day give the first of the month.
int32_t parseDate(const QString& text, const QString& code);

// The choices of the "Date Format:" list of the options window, in their order: the text shown and the
// code it stands for.
const QList<QPair<QString, QString>>& dateFormatChoices();

} // namespace zendrel
