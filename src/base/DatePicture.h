#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>

namespace zendrel {

// The date picture codes and what they write, for 31 October 1959 and 7 January 2005:
//   d1 "10/31/59" "01/07/05"          d2 "10/31/1959" "01/07/2005"
//   d3 "OCT 31,1959" "JAN 7,2005"     d4 "October 31, 1959" "January 7, 2005"
//   d5 "31/10/59" "07/01/05"          d6 "31/10/1959" "07/01/2005"
//   d7 "31 OCT 59" "7 JAN 05"         d8 "31 OCT 1959" "7 JAN 2005"
//   d13 "10/59"  d14 "10/1959"  d15 "59/10"  d16 "1959/10"
//   d17 the system's short date with the year in four digits, d18 the system's long date.
// All-number pictures keep day and month at two digits, so that a column of them lines up; pictures with a
// month name write the day as it is spoken, without a leading zero. Month names are English in every
// language, as the options list shows them; only d17 and d18 follow the system's language. Day 0 means no
// date and is written as an empty text under every picture.

// Puts the program-wide date picture code (such as "d4") in place of every date picture of a list
// format or a field picture: each picture whose type letter is D or d, from its "@" up to and including
// the next "@" (or to the end of a field picture, which has no closing "@"). Headings between "~" are
// left alone, so an "@" in a column heading is not taken for a picture. A blank code, or one that is not
// one of the codes above (such as "d9" or "x"), leaves the format unchanged: the window keeps its own.
QString replaceDatePictures(const QString& format, const QString& code);

// A day number in the picture of a date picture code ("d1" to "d18", any letter case, with or without
// the leading "@"). A blank or unknown code gives the system's short date, always with a four-digit year;
// day 0 (no date) gives "".
QString formatDate(int32_t day, const QString& code);

// A date typed in the form a date picture code shows (or as 2033-11-22): its day number; 0 for a blank
// text (no date), -1 for a text that is no date. Two-digit years fall in 1980 to 2079; pictures without
// a day give the first of the month. Month names are read in English (three letters suffice); the
// system's pictures also in the system's language.
int32_t parseDate(const QString& text, const QString& code);

// The choices of the "Date Format:" list of the options window, in their order: the text shown and the
// code it stands for.
const QList<QPair<QString, QString>>& dateFormatChoices();

// Whether the code (blanks and a leading "@" aside, any letter case) is one of the codes above.
bool isDatePictureCode(const QString& code);

} // namespace zendrel
