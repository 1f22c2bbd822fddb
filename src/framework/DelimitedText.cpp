#include "framework/DelimitedText.h"

#include "base/Picture.h"
#include "data/DataStore.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zendrel {

namespace {

std::atomic<bool> g_claimed{false};

constexpr size_t kReadBlock = 64 * 1024;
constexpr size_t kWriteBlock = 64 * 1024;
// Not an error of the system: a file that holds NUL bytes is no text file.
constexpr int kNotText = 36;
constexpr int kOwnFile = 5;
// As the store numbers it.
constexpr int kNotRegularFile = 48;

const QString kImportFilter = QStringLiteral("Import Files|*.CSV|All Files|*.*");
const QString kExportFilter = QStringLiteral("Export Files|*.CSV|All Files|*.*");

QString systemText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// Windows-1252's characters for the bytes 0x80 to 0x9F; the other bytes are Latin-1's. Its five unused
// bytes stay the control characters they are in Latin-1.
const char16_t kWindows1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const std::string& bytes) {
    QString s(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = s.data();
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = b >= 0x80 && b < 0xA0 ? QChar(kWindows1252[b - 0x80]) : QChar(b);
    }
    return s;
}

// The state of a line's fields after its last byte, by NextField's rules: whether a quoted field is still
// open (then the line break belongs to it and the next line of the file continues the line).
class QuoteTracker {
public:
    void reset() { m_state = State::FieldStart; }
    void feed(const char* p, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            const char c = p[i];
            switch (m_state) {
            case State::FieldStart:
                m_state = c == '"' ? State::InQuotes : c == ',' ? State::FieldStart : State::Unquoted;
                break;
            case State::Unquoted:
                if (c == ',') {
                    m_state = State::FieldStart;
                }
                break;
            case State::InQuotes:
                if (c == '"') {
                    m_state = State::QuoteSeen;
                }
                break;
            case State::QuoteSeen:
                // A doubled quote goes on; any other character is the delimiter the cursor steps over.
                m_state = c == '"' ? State::InQuotes : State::FieldStart;
                break;
            }
        }
    }
    bool open() const { return m_state == State::InQuotes; }

private:
    enum class State { FieldStart, Unquoted, InQuotes, QuoteSeen };
    State m_state = State::FieldStart;
};

void appendQuoted(QString& line, QStringView text) {
    line += QLatin1Char('"');
    qsizetype from = 0;
    for (qsizetype q = text.indexOf(QLatin1Char('"')); q >= 0; q = text.indexOf(QLatin1Char('"'), q + 1)) {
        line += text.mid(from, q + 1 - from);
        line += QLatin1Char('"');
        from = q + 1;
    }
    line += text.mid(from);
    line += QLatin1Char('"');
}

QString withoutTrailingBlanks(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) {
        --n;
    }
    return s.left(n);
}

} // namespace

std::unique_ptr<DelimitedText> DelimitedText::claim(MessageService& messages, FileDialogs* dialogs,
                                                    const DataStore* store) {
    bool expected = false;
    if (!g_claimed.compare_exchange_strong(expected, true)) {
        return {};
    }
    return std::unique_ptr<DelimitedText>(new DelimitedText(messages, dialogs, store));
}

Message DelimitedText::emptyFileMessage() {
    return Message{QStringLiteral("Attention!"), QStringLiteral("That file is empty!  Please pick another file."),
                   Buttons::Ok, Answer::Ok, false, MessageKind::Warning};
}

bool DelimitedText::busy() {
    return g_claimed.load();
}

DelimitedText::DelimitedText(MessageService& messages, FileDialogs* dialogs, const DataStore* store)
    : m_messages(messages), m_dialogs(dialogs), m_store(store) {}

DelimitedText::~DelimitedText() {
    if (m_writing) {
        closeFile();
    }
    closeDescriptor();
    g_claimed.store(false);
}

void DelimitedText::closeDescriptor() {
    if (m_fd >= 0 && m_ownsFd) {
        ::close(m_fd);
    }
    m_fd = -1;
}

void DelimitedText::showFailure(const QString& title, const Failure& f) {
    m_messages.show(Message{title + withoutTrailingBlanks(m_path),
                            QStringLiteral("Error #%1 - %2").arg(f.code).arg(withoutTrailingBlanks(f.text)),
                            Buttons::Ok, Answer::Ok, false, MessageKind::Error});
}

int64_t DelimitedText::open(const QString& path, bool asked, bool* retry) {
    closeDescriptor();
    m_path = path;
    m_writing = false;
    *retry = false;
    Failure failure{0, {}};
    if (m_store && m_store->holdsFile(path)) {
        failure = {kOwnFile, QStringLiteral("It is one of Zendrel's own data files")};
    } else {
        // Not blocking: a FIFO in the file's place is refused below instead of waiting for a writer.
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (m_fd < 0) {
            failure = {errno, systemText(errno)};
        } else if (::fstat(m_fd, &st) != 0) {
            failure = {errno, systemText(errno)};
        } else if (S_ISDIR(st.st_mode)) {
            failure = {EISDIR, systemText(EISDIR)};
        } else if (!S_ISREG(st.st_mode)) {
            failure = {kNotRegularFile, QStringLiteral("Not a regular file")};
        } else {
            m_size = st.st_size;
        }
    }
    if (failure.code == 0 && m_size > 0) {
        ::flock(m_fd, LOCK_SH | LOCK_NB);
        // One look at the whole file decides how its text is read, and that it is text at all.
        QStringDecoder utf8(QStringDecoder::Utf8);
        bool nul = false;
        rewind();
        while (fillBuffer()) {
            const char* p = m_buffer.data() + m_bufferAt;
            const size_t n = m_bufferEnd - m_bufferAt;
            nul = nul || std::memchr(p, '\0', n) != nullptr;
            if (!m_windows1252) {
                // The decoding happens when its result is taken.
                const QString decoded = utf8.decode(QByteArrayView(p, static_cast<qsizetype>(n)));
                m_windows1252 = utf8.hasError();
            }
            m_bufferAt = m_bufferEnd;
        }
        if (!m_windows1252) {
            const QString rest = utf8.decode(QByteArrayView());
            m_windows1252 = utf8.hasError();
        }
        if (nul) {
            failure = {kNotText, QStringLiteral("Not a text file")};
        }
    }
    if (failure.code != 0) {
        closeDescriptor();
        showFailure(QStringLiteral("Cannot OPEN "), failure);
        *retry = asked;
        return 0;
    }
    if (m_size == 0) {
        closeDescriptor();
        if (asked) {
            m_messages.show(emptyFileMessage());
            *retry = true;
        }
        return 0;
    }
    rewind();
    return m_size;
}

int64_t DelimitedText::openImportFile(const QString& path) {
    if (!path.isEmpty()) {
        bool retry = false;
        return open(path, false, &retry);
    }
    if (!m_dialogs) {
        return 0;
    }
    QString start;
    for (;;) {
        // The dialog may wander; the program's working directory is its data directory and stays so.
        const QString cwd = QDir::currentPath();
        const auto chosen = m_dialogs->openFile(QStringLiteral("Import Comma-Separated Value File"), kImportFilter, start);
        QDir::setCurrent(cwd);
        if (!chosen || chosen->isEmpty()) {
            return 0;
        }
        start = *chosen;
        bool retry = false;
        if (const int64_t size = open(*chosen, true, &retry); size > 0 || !retry) {
            return size;
        }
    }
}

bool DelimitedText::createExportFile(const QString& given) {
    QString path = given;
    if (path.isEmpty()) {
        if (!m_dialogs) {
            return false;
        }
        const QString cwd = QDir::currentPath();
        const auto chosen = m_dialogs->saveFile(QStringLiteral("Export Comma-Separated Value File"), kExportFilter, {});
        QDir::setCurrent(cwd);
        if (!chosen || chosen->isEmpty()) {
            return false;
        }
        path = *chosen;
    }
    closeDescriptor();
    m_path = path;
    m_writing = false;
    if (m_store && m_store->holdsFile(path)) {
        showFailure(QStringLiteral("Cannot CREATE "), {kOwnFile, QStringLiteral("It is one of Zendrel's own data files")});
        return false;
    }
    // Not blocking: a FIFO without a reader is refused at once instead of hanging.
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        const int e = errno;
        showFailure(QStringLiteral("Cannot CREATE "), {e, systemText(e)});
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode)) {
        // An existing file keeps its mode through O_TRUNC.
        ::fchmod(m_fd, 0600);
        ::flock(m_fd, LOCK_EX | LOCK_NB);
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_ownsFd = true;
    m_writing = true;
    m_out.clear();
    m_pendingLines = 0;
    m_linesWritten = 0;
    return true;
}

void DelimitedText::useStandardOutput() {
    closeDescriptor();
    m_path = QStringLiteral("standard output");
    m_fd = STDOUT_FILENO;
    m_ownsFd = false;
    m_writing = true;
    m_out.clear();
    m_pendingLines = 0;
    m_linesWritten = 0;
}

void DelimitedText::rewind(bool) {
    // Reading is sequential through a block buffer in every case; the read-ahead option needs nothing more.
    m_bufferAt = m_bufferEnd = 0;
    m_eof = false;
    m_consumed = 0;
    m_cursor = -1;
    m_line.clear();
    if (m_fd >= 0 && !m_writing) {
        ::lseek(m_fd, 0, SEEK_SET);
    }
}

bool DelimitedText::fillBuffer() {
    if (m_bufferAt < m_bufferEnd) {
        return true;
    }
    if (m_eof || m_fd < 0) {
        return false;
    }
    m_buffer.resize(kReadBlock);
    for (;;) {
        const ssize_t n = ::read(m_fd, m_buffer.data(), kReadBlock);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            m_eof = true;
            m_bufferAt = m_bufferEnd = 0;
            return false;
        }
        m_bufferAt = 0;
        m_bufferEnd = static_cast<size_t>(n);
        return true;
    }
}

int64_t DelimitedText::readLine() {
    m_raw.clear();
    m_cursor = -1;
    m_line.clear();
    if (m_writing) {
        return 0;
    }
    int64_t taken = 0;
    if (m_consumed == 0 && fillBuffer() && m_bufferEnd - m_bufferAt >= 3 &&
        std::memcmp(m_buffer.data() + m_bufferAt, "\xEF\xBB\xBF", 3) == 0) {
        m_bufferAt += 3;
        taken += 3;
    }
    QuoteTracker quotes;
    bool any = false;
    for (;;) {
        // One line of the file, without its line end.
        bool ended = false;
        const size_t lineStart = m_raw.size();
        while (!ended && fillBuffer()) {
            any = true;
            const char* p = m_buffer.data() + m_bufferAt;
            const size_t n = m_bufferEnd - m_bufferAt;
            size_t i = 0;
            while (i < n && p[i] != '\n' && p[i] != '\r') {
                ++i;
            }
            m_raw.append(p, i);
            m_bufferAt += i;
            taken += static_cast<int64_t>(i);
            if (i < n) {
                ended = true;
            }
        }
        quotes.feed(m_raw.data() + lineStart, m_raw.size() - lineStart);
        std::string end;
        if (ended) {
            end += m_buffer[m_bufferAt++];
            if (end == "\r" && fillBuffer() && m_buffer[m_bufferAt] == '\n') {
                end += m_buffer[m_bufferAt++];
            }
            taken += static_cast<int64_t>(end.size());
        }
        if (!ended || !quotes.open()) {
            break;
        }
        // A quoted field holds the line break; it is kept as the file has it.
        m_raw += end;
        quotes.feed(end.data(), end.size());
    }
    m_consumed += taken;
    if (!any) {
        return 0;
    }
    m_line = m_windows1252 ? fromWindows1252(m_raw) : QString::fromUtf8(m_raw.data(), static_cast<qsizetype>(m_raw.size()));
    m_cursor = 0;
    return taken;
}

DelimitedText::Field DelimitedText::nextField() {
    m_pictureApplied = false;
    m_value.clear();
    const qsizetype n = m_line.size();
    bool blank = true;
    for (qsizetype i = std::max<qsizetype>(m_cursor, 0); m_cursor >= 0 && i < n && blank; ++i) {
        blank = m_line.at(i) == QLatin1Char(' ');
    }
    if (m_cursor < 0 || blank) {
        m_cursor = -1;
        return NoField;
    }
    if (m_line.at(m_cursor) == QLatin1Char('"')) {
        qsizetype close = -1;
        for (qsizetype i = m_line.indexOf(QLatin1Char('"'), m_cursor + 1); i >= 0;
             i = m_line.indexOf(QLatin1Char('"'), i + 2)) {
            if (i + 1 < n && m_line.at(i + 1) == QLatin1Char('"')) {
                continue;  // a doubled quote
            }
            close = i;
            break;
        }
        if (close < 0) {
            m_value = m_line.mid(m_cursor + 1);
            m_cursor = -1;
        } else {
            m_value = m_line.mid(m_cursor + 1, close - m_cursor - 1);
            m_cursor = close + 2;
        }
        if (m_value.contains(QLatin1Char('"'))) {
            m_value.replace(QStringLiteral("\"\""), QStringLiteral("\""));
        }
        return Quoted;
    }
    const qsizetype comma = m_line.indexOf(QLatin1Char(','), m_cursor);
    if (comma < 0) {
        m_value = m_line.mid(m_cursor);
        m_cursor = -1;
    } else {
        m_value = m_line.mid(m_cursor, comma - m_cursor);
        m_cursor = comma + 1;
    }
    return Unquoted;
}

void DelimitedText::applyPicture(const QString& picture) {
    if (m_pictureApplied) {
        return;
    }
    m_pictureApplied = true;
    const QString p = withoutTrailingBlanks(picture);
    if (picture::classOf(p) == picture::Class::Other) {
        m_value = QString::number(picture::parse(m_value, p));
    }
}

void DelimitedText::startLine() {
    m_line.clear();
    m_cursor = 0;
    m_firstField = true;
}

void DelimitedText::writeField(const QString& value, const QString& picture, bool fieldName) {
    if (!m_firstField) {
        m_line += QLatin1Char(',');
    }
    m_firstField = false;
    switch (picture::classOf(picture)) {
    case picture::Class::Text: {
        QString text = withoutTrailingBlanks(value);
        if (fieldName && text.contains(QLatin1Char('['))) {
            text.replace(QLatin1Char(','), QLatin1Char('_'));
            text.replace(QLatin1Char('['), QLatin1Char('_'));
            text.replace(QLatin1Char(']'), QLatin1Char(' '));
        }
        appendQuoted(m_line, text);
        break;
    }
    case picture::Class::Number: {
        // Written as it is, unless it would split the line: then quoted, so it reads back in its column.
        const QString text = withoutTrailingBlanks(value);
        bool plain = true;
        for (const QChar c : text) {
            plain = plain && c != QLatin1Char(',') && c != QLatin1Char('"') && c != QLatin1Char('\n') &&
                    c != QLatin1Char('\r');
        }
        if (plain) {
            m_line += text;
        } else {
            appendQuoted(m_line, text);
        }
        break;
    }
    case picture::Class::Other:
        appendQuoted(m_line, picture::format(picture::toNumber(value), withoutTrailingBlanks(picture)));
        break;
    }
}

bool DelimitedText::writeLine() {
    if (!m_writing) {
        return false;
    }
    // Encoded straight into the block that goes to the file: the line is not copied on its way.
    const size_t at = m_out.size();
    m_out.resize(at + static_cast<size_t>(m_line.size()) * 3);
    QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    char* end = utf8.appendToBuffer(m_out.data() + at, m_line);
    m_out.resize(static_cast<size_t>(end - m_out.data()));
    m_out += "\r\n";
    ++m_pendingLines;
    return m_out.size() < kWriteBlock || flush();
}

bool DelimitedText::flush() {
    size_t done = 0;
    while (done < m_out.size()) {
        const ssize_t n = ::write(m_fd, m_out.data() + done, m_out.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        const int e = n < 0 ? errno : ENOSPC;
        if (e == EINTR) {
            continue;
        }
        const Answer a = m_messages.show(Message{
            QStringLiteral("Cannot ADD to ") + withoutTrailingBlanks(m_path),
            QStringLiteral("Error #%1 - %2").arg(e).arg(withoutTrailingBlanks(systemText(e))), Buttons::RetryAbort,
            Answer::Abort, false, MessageKind::Error});
        if (a != Answer::Retry) {
            m_out.clear();
            m_pendingLines = 0;
            return false;
        }
    }
    m_out.clear();
    m_linesWritten += m_pendingLines;
    m_pendingLines = 0;
    return true;
}

bool DelimitedText::closeFile() {
    bool ok = true;
    if (m_writing) {
        ok = flush();
        m_writing = false;
        if (m_fd >= 0 && m_ownsFd && ::close(m_fd) != 0) {
            const int e = errno;
            m_fd = -1;
            showFailure(QStringLiteral("Cannot CLOSE "), {e, systemText(e)});
            return false;
        }
        m_fd = -1;
    }
    closeDescriptor();
    return ok;
}

} // namespace zendrel
