// Fuzz target of the comma-separated text engine. Half the inputs are files read line by line and field
// by field through every picture: nothing may crash or hang. The other half are values (a text, a number,
// a date) written through the text, number and "@d17" pictures and read back: they must come back as they
// went in, whatever quotes, commas and line breaks they hold.
#include "base/DatePicture.h"
#include "framework/DelimitedText.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace zendrel;

namespace {

class SilentMessages final : public MessageService {
public:
    Answer show(const Message& m) override { return m.defaultAnswer; }
};

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "round trip failed: %s\n", what);
        std::abort();
    }
}

const QString& file() {
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("fuzz.csv"));
    return path;
}

void readFile(const uint8_t* data, size_t size) {
    {
        QFile f(file());
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    SilentMessages messages;
    auto text = DelimitedText::claim(messages);
    if (text->openImportFile(file()) == 0) {
        return;
    }
    const char* pictures[] = {"@s1000", "@n30.9", "@d17", "@t3", "@p<<<# secondspb", "@", "@d2"};
    int n = 0;
    while (text->readLine() > 0) {
        while (text->nextField() != DelimitedText::NoField) {
            text->applyPicture(QString::fromLatin1(pictures[n++ % 7]));
        }
    }
}

void roundTrip(const uint8_t* data, size_t size) {
    // Characters that matter to the engine, and some that are not ASCII.
    static const char16_t alphabet[] = {u'"', u',', u'\n', u'\r', u' ', u'a', u'Z', u'0', u'\t', 0xe9, 0x20ac, u'['};
    QString value;
    int64_t number = 0;
    int32_t day = 400;
    for (size_t i = 0; i < size; ++i) {
        if (i < 4) {
            number = number * 256 + data[i];
        } else if (i < 6) {
            day = day * 2 + data[i] % 64;
        } else {
            value += QChar(alphabet[data[i] % (sizeof alphabet / sizeof *alphabet)]);
        }
    }
    number -= 1 << 30;
    day = 400 + day % 100000;
    SilentMessages messages;
    {
        auto text = DelimitedText::claim(messages);
        check(text->createExportFile(file()), "create");
        text->startLine();
        text->writeField(value, QStringLiteral("@s255"));
        text->writeField(QString::number(number), QStringLiteral("@n_3b"));
        text->writeField(value, QStringLiteral("@n9"));
        text->writeField(QString::number(day), QStringLiteral("@d17"));
        check(text->writeLine() && text->closeFile(), "write");
    }
    auto text = DelimitedText::claim(messages);
    check(text->openImportFile(file()) > 0 && text->readLine() > 0, "read");
    QString trimmed = value;
    while (trimmed.endsWith(QLatin1Char(' '))) {
        trimmed.chop(1);
    }
    check(text->nextField() == DelimitedText::Quoted && text->value() == trimmed, "text");
    check(text->nextField() == DelimitedText::Unquoted && text->value() == QString::number(number), "number");
    check(text->nextField() != DelimitedText::NoField && text->value() == trimmed, "text through a number picture");
    check(text->nextField() == DelimitedText::Quoted, "date quoted");
    text->applyPicture(QStringLiteral("@d17"));
    check(text->value() == QString::number(day), "date");
    check(text->nextField() == DelimitedText::NoField && text->readLine() == 0, "one line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    if (data[0] % 2 == 0) {
        readFile(data + 1, size - 1);
    } else {
        roundTrip(data + 1, size - 1);
    }
    return 0;
}
