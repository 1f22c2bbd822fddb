// Pictures both ways: what a value looks like through each picture, and what a text stands for.
#include "base/Picture.h"

#include "base/DatePicture.h"
#include "base/Dates.h"

#include <QDate>
#include <gtest/gtest.h>
#include <limits>

using namespace zendrel;

namespace {

struct FormatCase {
    int64_t value;
    const char* picture;
    const char* shown;
    int64_t readBack;  // what the shown text stands for under the same picture
};

class PictureFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PictureFormatTest, ShowsTheValueAndReadsItBack) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(picture::format(c.value, c.picture), QString::fromUtf8(c.shown)) << c.picture;
    EXPECT_EQ(picture::parse(QString::fromUtf8(c.shown), c.picture), c.readBack) << c.picture;
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PictureFormatTest,
    ::testing::Values(FormatCase{5, "@p<<<# secondspb", "5 seconds", 5}, FormatCase{0, "@p<<<# secondspb", "", 0},
                      FormatCase{0, "@p<<<# secondsp", "0 seconds", 0},
                      FormatCase{98765, "@p<<<# secondspb", "98765 seconds", 98765},
                      FormatCase{-12, "@p<<<# secondspb", "-12 seconds", -12},
                      FormatCase{5551234, "@p###-####p", "555-1234", 5551234},
                      FormatCase{42, "@p###-####p", "000-0042", 42},
                      FormatCase{1, "@t3", "12:00AM", 1}, FormatCase{6300001, "@t3", "5:30PM", 6300001},
                      // Seconds are not shown by "@t3": the time comes back to the minute.
                      FormatCase{6300501, "@t3", "5:30PM", 6300001}, FormatCase{6300501, "@t4", "17:30:05", 6300501},
                      FormatCase{6300501, "@t1", "17:30", 6300001}, FormatCase{6300501, "@t6", "5:30:05PM", 6300501},
                      FormatCase{0, "@t3", "", 0}, FormatCase{0, "@d17", "", 0},
                      FormatCase{4000, "@n6b", "4000", 4000}, FormatCase{0, "@n_3b", "", 0},
                      FormatCase{-7, "@s20", "-7", -7},
                      // An unknown type, such as a picture of "@" characters only, is the plain number.
                      FormatCase{12, "@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@", "12", 12}));

TEST(PictureTest, DatesGoThroughTheDatePicturesBothWays) {
    for (const char* code : {"@d17", "@d2", "@d6", "@d8", "@D4"}) {
        for (const QDate d : {QDate(2024, 2, 29), QDate(1999, 12, 31), QDate(2033, 1, 1)}) {
            const int32_t day = dayNumber(d);
            EXPECT_EQ(picture::format(day, code), formatDate(day, code));
            EXPECT_EQ(picture::parse(picture::format(day, code), code), day) << code << " " << d.toString().toStdString();
        }
    }
    // A date that does not exist, and text that is no date, are no date.
    EXPECT_EQ(picture::parse("02/30/2024", "@d2"), 0);
    EXPECT_EQ(picture::parse("soon", "@d17"), 0);
}

TEST(PictureTest, TextIsTakenAsANumberByPlainAssignment) {
    struct Case {
        const char* text;
        int64_t number;
    };
    for (const Case& c : {Case{"42", 42}, Case{"  -17 ", -17}, Case{"+3", 3}, Case{"12.9", 12}, Case{"12abc", 0},
                          Case{"abc", 0}, Case{"", 0}, Case{"1,000", 0}, Case{"-", 0},
                          Case{"99999999999999999999", std::numeric_limits<int64_t>::max()},
                          Case{"-99999999999999999999", std::numeric_limits<int64_t>::min()},
                          Case{"9223372036854775807", std::numeric_limits<int64_t>::max()},
                          Case{"9223372036854775808", std::numeric_limits<int64_t>::max()},
                          Case{"-9223372036854775807", -std::numeric_limits<int64_t>::max()},
                          Case{"007", 7}, Case{"7.", 7}, Case{".5", 0}, Case{"1.2.3", 0}, Case{"+-1", 0},
                          Case{"\t5\r\n", 5}, Case{"1 2", 0}, Case{"\u0663", 0}, Case{"5e3", 0}}) {
        EXPECT_EQ(picture::toNumber(c.text), c.number) << c.text;
    }
    for (const char* bad : {"25:00", "13:00PM", "12:60", "noon", "0:30AM"}) {
        EXPECT_EQ(picture::parseTime(bad), 0) << bad;
    }
    EXPECT_EQ(picture::parseTime("12:30 am"), 30 * 6000 + 1);
    EXPECT_EQ(picture::parseTime("1730"), picture::parseTime("5:30PM"));
}

TEST(PictureTest, PicturesAreClassedLabelledAndChecked) {
    using picture::Side;
    EXPECT_EQ(picture::typeLabel("@s255", Side::Export), "Alpha-numeric");
    EXPECT_EQ(picture::typeLabel("@S1000", Side::Import), "Alpha-num");
    EXPECT_EQ(picture::typeLabel("@N30.9", Side::Import), "Numeric");
    EXPECT_EQ(picture::typeLabel("@n_3b", Side::Export), "Numeric");
    EXPECT_EQ(picture::typeLabel("@d17", Side::Export), "@d17");
    EXPECT_EQ(picture::classOf("@"), picture::Class::Other);
    EXPECT_EQ(picture::refusal("d17"), QString("Pictures must begin with \"@\""));
    EXPECT_EQ(picture::refusal(""), QString("Pictures must begin with \"@\""));
    EXPECT_FALSE(picture::refusal("@d17"));
    EXPECT_EQ(shortTime(6300001), "5:30PM");
}

TEST(PictureTest, ZeroIsBlankWhereThePictureEndsInBAndATextPictureCutsToItsWidth) {
    const int32_t halloween = dayNumber(QDate(1959, 10, 31));
    struct Case {
        int64_t value;
        const char* picture;
        QString shown;
    };
    for (const Case& c : {Case{0, "@n3B", ""}, Case{7, "@n3B", "7"}, Case{0, "@n_6b", ""}, Case{3600, "@n_6B", "3600"},
                          Case{0, "@n3", "0"}, Case{-1, "@n3b", "-1"}, Case{0, "@e12b", ""},
                          // The "b" is no part of the date or time picture it closes.
                          Case{halloween, "@d4b", "October 31, 1959"}, Case{halloween, "@D3B", "OCT 31,1959"},
                          Case{0, "@d4b", ""}, Case{0, "@D3", ""}, Case{6300001, "@t3b", "5:30PM"},
                          Case{6300501, "@T4B", "17:30:05"}, Case{0, "@t3b", ""},
                          // A pattern reads its own "pb"; a "b" inside it is text.
                          Case{0, "@p# kbp", "0 kb"}, Case{0, "@p# kbpb", ""}}) {
        EXPECT_EQ(picture::format(c.value, c.picture), c.shown) << c.picture;
    }
    // What such a date shows reads back under the same picture.
    EXPECT_EQ(picture::parse("October 31, 1959", "@d4b"), halloween);
    EXPECT_EQ(picture::parse(picture::format(halloween, "@d6b"), "@d6b"), halloween);

    struct TextCase {
        QString text;
        const char* picture;
        QString shown;
    };
    for (const TextCase& c : {TextCase{QString(40, 'x'), "@s30", QString(30, 'x')}, TextCase{"short  ", "@s30", "short"},
                              TextCase{QString(200, 'y'), "@S128", QString(128, 'y')},
                              TextCase{"exactly", "@s7", "exactly"}, TextCase{"  lead", "@s4", "  le"},
                              TextCase{"cut at a blank", "@s4", "cut "}, TextCase{"no width  ", "@s", "no width"},
                              TextCase{"a number picture", "@n3", "a number picture"},
                              TextCase{"Пароль Κωδικός", "@s6", "Пароль"}, TextCase{"", "@s30", ""}}) {
        EXPECT_EQ(picture::format(c.text, c.picture), c.shown) << c.picture;
    }
}

} // namespace
