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

namespace {

// Every code on four days: 31 October 1959, 1 January 2000, 29 February 2024, 31 December 2099.
const QDate kDays[4] = {QDate(1959, 10, 31), QDate(2000, 1, 1), QDate(2024, 2, 29), QDate(2099, 12, 31)};

struct CodeForms {
    const char* code;
    const char* forms[4];
};

// The same in every language.
const CodeForms kFixedForms[] = {
    {"d1", {"10/31/59", "01/01/00", "02/29/24", "12/31/99"}},
    {"d2", {"10/31/1959", "01/01/2000", "02/29/2024", "12/31/2099"}},
    {"d3", {"OCT 31,1959", "JAN 1,2000", "FEB 29,2024", "DEC 31,2099"}},
    {"d4", {"October 31, 1959", "January 1, 2000", "February 29, 2024", "December 31, 2099"}},
    {"d5", {"31/10/59", "01/01/00", "29/02/24", "31/12/99"}},
    {"d6", {"31/10/1959", "01/01/2000", "29/02/2024", "31/12/2099"}},
    {"d7", {"31 OCT 59", "1 JAN 00", "29 FEB 24", "31 DEC 99"}},
    {"d8", {"31 OCT 1959", "1 JAN 2000", "29 FEB 2024", "31 DEC 2099"}},
    {"d13", {"10/59", "01/00", "02/24", "12/99"}},
    {"d14", {"10/1959", "01/2000", "02/2024", "12/2099"}},
    {"d15", {"59/10", "00/01", "24/02", "99/12"}},
    {"d16", {"1959/10", "2000/01", "2024/02", "2099/12"}},
};

// The system's pictures in the two languages the suite also runs in (ctest sets LC_ALL for those runs).
const CodeForms kEnglishSystemForms[] = {
    {"d17", {"10/31/1959", "1/1/2000", "2/29/2024", "12/31/2099"}},
    {"d18",
     {"Saturday, October 31, 1959", "Saturday, January 1, 2000", "Thursday, February 29, 2024",
      "Thursday, December 31, 2099"}},
};
const CodeForms kGermanSystemForms[] = {
    {"d17", {"31.10.1959", "01.01.2000", "29.02.2024", "31.12.2099"}},
    {"d18",
     {"Samstag, 31. Oktober 1959", "Samstag, 1. Januar 2000", "Donnerstag, 29. Februar 2024",
      "Donnerstag, 31. Dezember 2099"}},
};

// The day a form reads back as: two-digit years within 1980 to 2079, month pictures the first of the month.
QDate readBack(const QString& code, const QDate& d) {
    QDate expected = d;
    if (code == "d1" || code == "d5" || code == "d7" || code == "d13" || code == "d15") {
        const int yy = d.year() % 100;
        expected = QDate(yy < 80 ? 2000 + yy : 1900 + yy, d.month(), d.day());
    }
    if (code == "d13" || code == "d14" || code == "d15" || code == "d16") {
        expected = QDate(expected.year(), expected.month(), 1);
    }
    return expected;
}

void expectForms(const CodeForms& c) {
    const QString code = QString::fromLatin1(c.code);
    for (int i = 0; i < 4; ++i) {
        const QString text = formatDate(dayNumber(kDays[i]), code);
        EXPECT_EQ(text.toStdString(), std::string(c.forms[i])) << c.code;
        EXPECT_EQ(dateOf(parseDate(text, code)), readBack(code, kDays[i])) << c.code << " " << c.forms[i];
    }
    EXPECT_EQ(formatDate(0, code), "") << c.code;
}

} // namespace

TEST(DateCodes, EveryCodeWritesItsFormAndReadsItBack) {
    for (const CodeForms& c : kFixedForms) {
        expectForms(c);
    }
    const QString language = QLocale::system().name();
    if (language == "en_US") {
        for (const CodeForms& c : kEnglishSystemForms) {
            expectForms(c);
        }
    } else if (language == "de_DE") {
        for (const CodeForms& c : kGermanSystemForms) {
            expectForms(c);
        }
    } else {
        // Elsewhere: what the system's own formats write, the short one with four digits of the year.
        for (const QDate& d : kDays) {
            const QString shortForm = formatDate(dayNumber(d), "d17");
            EXPECT_TRUE(shortForm.contains(QString::number(d.year()))) << shortForm.toStdString();
            EXPECT_EQ(dateOf(parseDate(shortForm, "d17")), d) << shortForm.toStdString();
            EXPECT_EQ(formatDate(dayNumber(d), "d18"), QLocale::system().toString(d, QLocale::LongFormat));
        }
    }
}

TEST(DateCodes, TheSystemsPicturesMatchTheLocaleOnEveryDayOfTwoYears) {
    QString shortFormat = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!shortFormat.contains("yyyy")) {
        shortFormat.replace("yy", "yyyy");
    }
    for (QDate d(2023, 1, 1); d < QDate(2025, 1, 1); d = d.addDays(1)) {
        ASSERT_EQ(formatDate(dayNumber(d), "d17"), QLocale::system().toString(d, shortFormat));
        ASSERT_EQ(formatDate(dayNumber(d), "d18"), QLocale::system().toString(d, QLocale::LongFormat));
    }
}

TEST(DateCodes, OnlyTheFourteenCodesReplaceAWindowsOwnPicture) {
    for (const auto& [shown, code] : dateFormatChoices()) {
        EXPECT_TRUE(isDatePictureCode(code)) << code.toStdString();
        EXPECT_EQ(replaceDatePictures("@d17", code), "@" + code);
    }
    for (const char* unknown : {"", "    ", "d9", "d12", "d0", "d19", "d017", "x", "@", "dd", "d1x"}) {
        EXPECT_FALSE(isDatePictureCode(unknown)) << unknown;
        EXPECT_EQ(replaceDatePictures("@d4", unknown), "@d4") << unknown;
    }
    // The entry form's "Last changed" line and the "Added" note keep their long date.
    EXPECT_EQ(longDate(dayNumber(QDate(1959, 10, 31))), "October 31, 1959");
    EXPECT_EQ(longDate(0), "");
}
