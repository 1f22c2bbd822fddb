#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace zendrel {

// Display pictures: "@", a type letter and its details, at most 30 characters ("@s255", "@n_3b", "@d17",
// "@t3", "@p<<<# secondspb"). Every conversion of a value through a picture, both ways, is here; date
// pictures are handed to formatDate()/parseDate().
namespace picture {

constexpr int kWidth = 30;

// A picture's type letter in lower case ("@D17" gives "d"); a null character for a text that is no picture.
QChar typeLetter(QStringView picture);

// Each picture of a list format, from its "@" up to its closing "@", or of a field picture, from its "@" to
// the end, replaced by what `replace` makes of it (given without its closing "@", which stays). Headings
// between "~" are text: an "@" in one is no picture.
QString replacePictures(const QString& format, const std::function<QString(QStringView picture)>& replace);

// The three classes a transfer tells apart by the type letter: S or s, N or n, and every other one.
enum class Class { Text, Number, Other };
Class classOf(const QString& picture);

// What a list shows for a picture's type: "Alpha-numeric" (export side) or "Alpha-num" (import side) for
// text, "Numeric" for numbers, otherwise the picture itself.
enum class Side { Export, Import };
QString typeLabel(const QString& picture, Side side);

// Why a typed picture is refused (`Pictures must begin with "@"`), or nothing.
std::optional<QString> refusal(const QString& picture);

// A number as the picture shows it. Dates (D) go through formatDate(); times (T: "@t1" 17:30, "@t2" 1730,
// "@t3" 5:30PM, "@t4" 17:30:05, "@t5" 173005, "@t6" 5:30:05PM) and patterns (P) are below. A zero date or
// time is blank under every picture; zero is blank too where the picture ends in "b" or "B" ("@n3B",
// "@n_6b", a pattern ending in "pb"). Text, number and unknown pictures give the plain number.
QString format(int64_t value, const QString& picture);
// A text as the picture shows it: without its trailing blanks, and cut to the width of a text picture
// ("@s30" shows at most 30 characters). Other pictures show the text whole.
QString format(const QString& text, const QString& picture);
// The inverse: the number a text written in the picture's form stands for. Text that is no date, time or
// number under its picture gives 0 (no date, no time, nothing).
int64_t parse(const QString& text, const QString& picture);

// A text taken as a number, as a plain assignment takes it: blanks around it are cut, a decimal number
// keeps its whole part, a number beyond 64 bits is held at the nearest limit, and anything else is 0.
int64_t toNumber(const QString& text);

// Times are hundredths of a second since midnight plus one; 0 is no time.
QString formatTime(int32_t clock, const QString& picture);
// "5:30PM", "17:30", "17:30:05", "1730": the time, to the second given; 0 for a blank text or no time.
int32_t parseTime(const QString& text);

} // namespace picture
} // namespace zendrel
