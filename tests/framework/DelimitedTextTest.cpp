// The comma-separated text engine: lines and fields as read from real bytes, fields as written, and the
// failures of the file itself.
#include "framework/DelimitedText.h"

#include "base/DatePicture.h"
#include "base/Dates.h"
#include "base/Picture.h"
#include "support/Mounts.h"
#include "support/ScriptedServices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zendrel;

namespace {

using Fields = std::vector<std::pair<int, QString>>;
using Lines = std::vector<Fields>;

QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes, const QString& name = "in.csv") {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// Every line of a file as the engine reads it: each field with its NextField result.
Lines readAll(const QString& path, ScriptedMessages& messages) {
    auto text = DelimitedText::claim(messages);
    Lines lines;
    if (!text || text->openImportFile(path) == 0) {
        return lines;
    }
    while (text->readLine() > 0) {
        Fields fields;
        for (auto r = text->nextField(); r != DelimitedText::NoField; r = text->nextField()) {
            fields.emplace_back(r, text->value());
        }
        lines.push_back(fields);
    }
    return lines;
}

struct ReadCase {
    const char* what;
    QByteArray bytes;
    Lines expected;
};

class ReadingTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadingTest, LinesAndFieldsAreReadAsWritten) {
    QTemporaryDir dir;
    ScriptedMessages messages;
    const Lines got = readAll(writeFile(dir, GetParam().bytes), messages);
    ASSERT_EQ(got.size(), GetParam().expected.size()) << GetParam().what;
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i], GetParam().expected[i]) << GetParam().what << ", line " << i + 1;
    }
    EXPECT_TRUE(messages.shown.isEmpty());
}

const QString kNote = QString(10000, QLatin1Char('n'));
const QString kLong = QString(100000, QLatin1Char('x'));

INSTANTIATE_TEST_SUITE_P(
    Files, ReadingTest,
    ::testing::Values(
        ReadCase{"a doubled quote, a number, a letter", "\"a\"\"b\",12,\"c\"\r\n", {{{1, "a\"b"}, {2, "12"}, {1, "c"}}}},
        ReadCase{"unquoted fields keep their blanks", "  x  , y\n", {{{2, "  x  "}, {2, " y"}}}},
        ReadCase{"a line ending in a comma has no field after it", "a,b,\n", {{{2, "a"}, {2, "b"}}}},
        ReadCase{"empty fields in between", "a,,\"\",b\n", {{{2, "a"}, {2, ""}, {1, ""}, {2, "b"}}}},
        ReadCase{"commas inside quotes", "\"a,b\",c\n", {{{1, "a,b"}, {2, "c"}}}},
        ReadCase{"three quotes make one quote and the third", "\"x\"\"\"\n", {{{1, "x\""}}}},
        ReadCase{"CR LF inside quotes stays in the value",
                 "\"one\r\ntwo\",x\r\nnext\r\n",
                 {{{1, "one\r\ntwo"}, {2, "x"}}, {{2, "next"}}}},
        ReadCase{"LF inside quotes, and several of them",
                 "\"a\n\nb\n\",\"c\"\nd\n",
                 {{{1, "a\n\nb\n"}, {1, "c"}}, {{2, "d"}}}},
        ReadCase{"every line end ends a line", "a\rb\nc\r\nd", {{{2, "a"}}, {{2, "b"}}, {{2, "c"}}, {{2, "d"}}}},
        ReadCase{"UTF-8 of two, three and four bytes",
                 "\"caf\xc3\xa9\",\xe2\x82\xac,\"\xf0\x9f\x98\x80\"\n",
                 {{{1, QString::fromUtf8("caf\xc3\xa9")}, {2, QString::fromUtf8("\xe2\x82\xac")},
                   {1, QString::fromUtf8("\xf0\x9f\x98\x80")}}}},
        ReadCase{"a byte-order mark is no part of the first field",
                 "\xef\xbb\xbf\"Group\",\"Title\"\n",
                 {{{1, "Group"}, {1, "Title"}}}},
        ReadCase{"a file that is not UTF-8 is Windows-1252",
                 "caf\xe9,\x80 5,\"\x93q\x94\"\n",
                 {{{2, QString::fromUtf8("caf\xc3\xa9")}, {2, QString::fromUtf8("\xe2\x82\xac 5")},
                   {1, QString::fromUtf8("\xe2\x80\x9cq\xe2\x80\x9d")}}}},
        ReadCase{"a quote left open at the end of the file takes the rest",
                 "a,\"open\nmore, and more",
                 {{{2, "a"}, {1, "open\nmore, and more"}}}},
        ReadCase{"a 10,000-character note passes whole",
                 ("\"" + kNote + "\",1\n").toUtf8(),
                 {{{1, kNote}, {2, "1"}}}},
        ReadCase{"a 100,000-character line passes whole",
                 ("s," + kLong + "\n").toUtf8(),
                 {{{2, "s"}, {2, kLong}}}},
        ReadCase{"a blank line holds no field", "a\n\n   \nb\n", {{{2, "a"}}, {}, {}, {{2, "b"}}}}));

struct WriteCase {
    QString value;
    const char* picture;
    bool fieldName;
    QString expected;
};

class WritingTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WritingTest, FieldsAreWrittenSoThatTheyReadBackIntoTheirColumn) {
    ScriptedMessages messages;
    auto text = DelimitedText::claim(messages);
    text->startLine();
    text->writeField(GetParam().value, QString::fromLatin1(GetParam().picture), GetParam().fieldName);
    EXPECT_EQ(text->line(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, WritingTest,
    ::testing::Values(WriteCase{"He said \"hi\"  ", "@s20", false, "\"He said \"\"hi\"\"\""},
                      WriteCase{QString(300, 'w'), "@s10", false, "\"" + QString(300, 'w') + "\""},
                      WriteCase{"0", "@n_3b", false, "0"}, WriteCase{"4000", "@n6b", false, "4000"},
                      WriteCase{"12,5", "@n3", false, "\"12,5\""},
                      WriteCase{"two\nlines \"q\"", "@N9", false, "\"two\nlines \"\"q\"\"\""},
                      WriteCase{"5", "@p<<<# secondspb", false, "\"5 seconds\""},
                      WriteCase{"0", "@p<<<# secondspb", false, "\"\""},
                      WriteCase{"123456", "@p<<<# secondspb", false, "\"123456 seconds\""},
                      WriteCase{"6300001", "@t3", false, "\"5:30PM\""},
                      WriteCase{"P_:Notes[2],x", "@s50", true, "\"P_:Notes_2 _x\""},
                      WriteCase{"P_:Service", "@s50", true, "\"P_:Service\""}));

TEST(DelimitedTextTest, ALineIsJoinedWithCommasAndDatesAreWrittenAndReadAsTheSameDay) {
    QTemporaryDir dir;
    ScriptedMessages messages;
    const int32_t leap = dayNumber(QDate(2024, 2, 29));
    const QString path = dir.filePath("out.csv");
    {
        auto text = DelimitedText::claim(messages);
        ASSERT_TRUE(text->createExportFile(path));
        text->startLine();
        text->writeField("Mail", "@s128");
        text->writeField(QString::number(leap), "@d17");
        text->writeField("0", "@d17");
        EXPECT_TRUE(text->writeLine());
        EXPECT_TRUE(text->closeFile());
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), "\"Mail\",\"" + formatDate(leap, "d17") + "\",\"\"\r\n");
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    auto text = DelimitedText::claim(messages);
    ASSERT_GT(text->openImportFile(path), 0);
    ASSERT_GT(text->readLine(), 0);
    text->nextField();
    text->nextField();
    text->applyPicture("@d17");
    EXPECT_EQ(text->value(), QString::number(leap));
    text->applyPicture("@d17");  // once per value
    EXPECT_EQ(text->value(), QString::number(leap));
    text->nextField();
    text->applyPicture("@D17  ");
    EXPECT_EQ(text->value(), "0");
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST(DelimitedTextTest, OnlyOneTransferHoldsTheEngine) {
    ScriptedMessages messages;
    auto first = DelimitedText::claim(messages);
    ASSERT_TRUE(first);
    EXPECT_TRUE(DelimitedText::busy());
    EXPECT_FALSE(DelimitedText::claim(messages));
    first.reset();
    EXPECT_FALSE(DelimitedText::busy());
    EXPECT_TRUE(DelimitedText::claim(messages));
}

TEST(DelimitedTextTest, FileFailuresAreShownWithTheirNumberAndPath) {
    QTemporaryDir dir;
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    auto text = DelimitedText::claim(messages, &dialogs);

    // A directory, then an empty file, then a real one: the dialog comes back after each message.
    const QString empty = writeFile(dir, {}, "empty.csv");
    const QString good = writeFile(dir, "a,b\n", "good.csv");
    dialogs.answers = {dir.path(), empty, good};
    EXPECT_EQ(text->openImportFile({}), 4);
    ASSERT_EQ(dialogs.requests.size(), 3);
    EXPECT_EQ(dialogs.requests[0].title, "Import Comma-Separated Value File");
    EXPECT_EQ(dialogs.requests[0].filter, "Import Files|*.CSV|All Files|*.*");
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.shown[0].title, "Cannot OPEN " + dir.path());
    EXPECT_EQ(messages.shown[0].text, "Error #21 - Is a directory");
    EXPECT_EQ(messages.shown[1].title, "Attention!");
    EXPECT_EQ(messages.shown[1].text, "That file is empty!  Please pick another file.");

    // A path given: an empty file is 0 without a message; a missing one is refused; a file with NUL bytes
    // is no text.
    messages.shown.clear();
    EXPECT_EQ(text->openImportFile(empty), 0);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(text->openImportFile(dir.filePath("missing.csv")), 0);
    EXPECT_EQ(text->openImportFile(writeFile(dir, QByteArray("PNG\0\x01\x02\n", 8), "binary.csv")), 0);
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.shown[0].text, "Error #2 - No such file or directory");
    EXPECT_EQ(messages.shown[1].title, "Cannot OPEN " + dir.filePath("binary.csv"));
    EXPECT_EQ(messages.shown[1].text, "Error #36 - Not a text file");

    // Creating: the save dialog, a directory refused, and a full device asked about on writing.
    messages.shown.clear();
    dialogs.answers = {std::nullopt};
    EXPECT_FALSE(text->createExportFile({}));
    EXPECT_EQ(dialogs.requests.last().title, "Export Comma-Separated Value File");
    EXPECT_EQ(dialogs.requests.last().filter, "Export Files|*.CSV|All Files|*.*");
    EXPECT_FALSE(text->createExportFile(dir.path()));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].title, "Cannot CREATE " + dir.path());
    EXPECT_EQ(messages.shown[0].text, "Error #21 - Is a directory");

    messages.shown.clear();
    messages.answers = {Answer::Retry, Answer::Abort};
    ASSERT_TRUE(text->createExportFile("/dev/full"));
    text->startLine();
    text->writeField("x", "@s1");
    text->writeLine();
    EXPECT_FALSE(text->closeFile());
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.shown[0].title, "Cannot ADD to /dev/full");
    EXPECT_EQ(messages.shown[0].text, "Error #28 - No space left on device");
    EXPECT_EQ(messages.shown[0].buttons, Buttons::RetryAbort);
    EXPECT_EQ(text->linesWritten(), 0);
}

TEST(DelimitedTextTest, AFullDiskIsReportedWhenTheLinesAreWritten) {
    test::FullDisk disk;
    if (!disk.ok()) {
        GTEST_SKIP() << "needs mount (root)";
    }
    ScriptedMessages messages;
    auto text = DelimitedText::claim(messages);
    const QString path = QDir(disk.path()).filePath("out.csv");
    ASSERT_TRUE(text->createExportFile(path));
    disk.fill();
    bool written = true;
    for (int i = 0; i < 2000 && written; ++i) {
        text->startLine();
        text->writeField(QString(100, 'v'), "@s100");
        written = text->writeLine();
    }
    EXPECT_FALSE(written);
    ASSERT_FALSE(messages.shown.isEmpty());
    EXPECT_EQ(messages.shown[0].title, "Cannot ADD to " + path);
    EXPECT_EQ(messages.shown[0].text, "Error #28 - No space left on device");
}

} // namespace
