#include "base/DatePicture.h"

#include "base/Dates.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <string>

using namespace zendrel;

namespace {

struct PictureCase {
    const char* format;
    const char* code;
    const char* expected;
};

class ReplaceDatePicturesTest : public ::testing::TestWithParam<PictureCase> {};

TEST_P(ReplaceDatePicturesTest, PutsTheCodeInPlaceOfEveryDatePicture) {
    const PictureCase& c = GetParam();
    EXPECT_EQ(replaceDatePictures(QString::fromUtf8(c.format), QString::fromUtf8(c.code)).toStdString(),
              std::string(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ReplaceDatePicturesTest,
    ::testing::Values(
        // The password list: both date columns change, text pictures stay.
        PictureCase{"75L(2)|M~Service~@s30@76L(2)|M~URL (Link)~@s90@63L(2)|M~Name~@s30@153L(2)|M~Notes~@s255@"
                    "44L(2)|M~Expiry Date~@d17@45L(2)|M~Last Change Date~@d17@",
                    "d4",
                    "75L(2)|M~Service~@s30@76L(2)|M~URL (Link)~@s90@63L(2)|M~Name~@s30@153L(2)|M~Notes~@s255@"
                    "44L(2)|M~Expiry Date~@d4@45L(2)|M~Last Change Date~@d4@"},
        // Upper-case type letter, a picture right after another one, a number picture with "d" in it.
        PictureCase{"10L|I~!~C@n1b@41L|M~Expiry~L(1)@D6@@d2@", "d14", "10L|I~!~C@n1b@41L|M~Expiry~L(1)@d14@@d14@"},
        // An "@" followed by "d" inside a heading is text, not a picture.
        PictureCase{"40L~E@date~@s20@40L~Due~@d1@", "d5", "40L~E@date~@s20@40L~Due~@d5@"},
        // A field picture has no closing "@".
        PictureCase{"@d17", "d3", "@d3"}, PictureCase{"@D2", "@d16", "@d16"},
        // The settings hold the code in 4 characters, padded with blanks.
        PictureCase{"~Date~@d17@", "d4  ", "~Date~@d4@"},
        // A blank code, or one that would break the format, leaves it alone.
        PictureCase{"~Date~@d17@", "    ", "~Date~@d17@"}, PictureCase{"~Date~@d17@", "d4@x", "~Date~@d17@"},
        PictureCase{"~Date~@d17@", "s30", "~Date~@d17@"},
        // Malformed formats are carried through unchanged apart from their date pictures.
        PictureCase{"~Unclosed heading @d1@", "d4", "~Unclosed heading @d1@"}, PictureCase{"@", "d4", "@"},
        PictureCase{"@d", "d4", "@d4"}, PictureCase{"", "d4", ""}));

struct DateCase {
    const char* code;
    const char* expected;
};

class FormatDateTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(FormatDateTest, WritesTheDayInThePictureOfTheCode) {
    const int32_t day = dayNumber(QDate(1959, 10, 31));
    EXPECT_EQ(formatDate(day, QString::fromLatin1(GetParam().code)).toStdString(), std::string(GetParam().expected));
}

// The examples of the options window's list, plus codes written as pictures and in upper case.
INSTANTIATE_TEST_SUITE_P(Codes, FormatDateTest,
                         ::testing::Values(DateCase{"d1", "10/31/59"}, DateCase{"d2", "10/31/1959"},
                                           DateCase{"d3", "OCT 31,1959"}, DateCase{"d4", "October 31, 1959"},
                                           DateCase{"d5", "31/10/59"}, DateCase{"d6", "31/10/1959"},
                                           DateCase{"d7", "31 OCT 59"}, DateCase{"d8", "31 OCT 1959"},
                                           DateCase{"d13", "10/59"}, DateCase{"d14", "10/1959"},
                                           DateCase{"d15", "59/10"}, DateCase{"d16", "1959/10"},
                                           DateCase{"@D2", "10/31/1959"}, DateCase{" D7 ", "31 OCT 59"}));

TEST(FormatDate, SmallNumbersKeepTheirLeadingZerosAndYearsCrossTheCentury) {
    const int32_t day = dayNumber(QDate(2005, 1, 7));
    EXPECT_EQ(formatDate(day, QStringLiteral("d1")), "01/07/05");
    EXPECT_EQ(formatDate(day, QStringLiteral("d5")), "07/01/05");
    EXPECT_EQ(formatDate(day, QStringLiteral("d15")), "05/01");
    EXPECT_EQ(formatDate(day, QStringLiteral("d3")), "JAN 7,2005");
    EXPECT_EQ(formatDate(day, QStringLiteral("d8")), "7 JAN 2005");
    EXPECT_EQ(formatDate(dayNumber(QDate(1900, 12, 31)), QStringLiteral("d13")), "12/00");
}

TEST(FormatDate, NoDateIsBlankAndUnknownCodesFallBackToTheSystemShortDate) {
    const QDate date(1959, 10, 31);
    const QString systemShort = formatDate(dayNumber(date), QStringLiteral("d17"));
    EXPECT_TRUE(systemShort.contains(QLatin1String("1959"))) << systemShort.toStdString();
    for (const char* code : {"d17", "", "   ", "d99", "x", "@"}) {
        EXPECT_EQ(formatDate(dayNumber(date), QString::fromLatin1(code)), systemShort) << code;
        EXPECT_EQ(formatDate(0, QString::fromLatin1(code)), "") << code;
    }
    EXPECT_EQ(formatDate(dayNumber(date), QStringLiteral("d18")),
              QLocale::system().toString(date, QLocale::LongFormat));
    // Back to the same day: the four-digit year leaves no century to guess.
    for (const QDate d : {date, QDate(2079, 12, 31), QDate(2080, 1, 1), QDate(1801, 1, 2)}) {
        EXPECT_EQ(parseDate(formatDate(dayNumber(d), QStringLiteral("d17")), QStringLiteral("d17")), dayNumber(d))
            << d.toString(Qt::ISODate).toStdString();
    }
}

TEST(DateFormatChoices, EveryChoiceShowsTheDateItsCodeWrites) {
    const auto& choices = dateFormatChoices();
    ASSERT_EQ(choices.size(), 14);
    EXPECT_EQ(choices.front().second, "d17");
    EXPECT_EQ(choices.back().second, "d18");
    const int32_t day = dayNumber(QDate(1959, 10, 31));
    for (const auto& [shown, code] : choices) {
        if (!shown.startsWith(QLatin1String("Windows Default"))) {
            EXPECT_EQ(formatDate(day, code), shown) << code.toStdString();
        }
    }
}

} // namespace

TEST(ParseDate, EveryPictureReadsBackWhatItWrites) {
    const QList<QDate> dates = {QDate(1999, 12, 31), QDate(2000, 1, 1), QDate(2026, 2, 28), QDate(2033, 11, 22)};
    for (const auto& [shown, code] : dateFormatChoices()) {
        for (const QDate& d : dates) {
            const QString text = formatDate(dayNumber(d), code);
            const int32_t read = parseDate(text, code);
            // Pictures without a day give the first of the month.
            const QDate expected = text.contains(QString::number(d.day())) ? d : QDate(d.year(), d.month(), 1);
            EXPECT_EQ(dateOf(read), expected) << code.toStdString() << " " << text.toStdString();
        }
    }
}

TEST(ParseDate, BlankIsNoDateAndAnythingElseThatIsNoDateIsRefused) {
    EXPECT_EQ(parseDate("   ", "d6"), 0);
    EXPECT_EQ(dateOf(parseDate("2033-11-22", "d6")), QDate(2033, 11, 22));
    EXPECT_EQ(dateOf(parseDate("22 nov 33", "d8")), QDate(2033, 11, 22));
    EXPECT_EQ(dateOf(parseDate("31/12/79", "d6")), QDate(2079, 12, 31));
    EXPECT_EQ(dateOf(parseDate("31/12/80", "d6")), QDate(1980, 12, 31));
    for (const char* bad : {"2033-11-22 or 12", "2033.11.22x", "31/02/2024", "31/13/2027", "31/12/203",
                            "31/12/20330", "31/12", "31/12/2027/5", "31 Foo 2027", "12/1700"}) {
        EXPECT_EQ(parseDate(bad, "d6"), -1) << bad;
    }
}
