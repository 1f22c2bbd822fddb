#include "operations/ReportOperations.h"

#include "base/DatePicture.h"
#include "base/Files.h"
#include "base/Picture.h"
#include "data/StoreMessages.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <climits>

namespace zendrel {

namespace {

const QString kSection = QStringLiteral("DISPLAY STRINGS 2.0");
// Enough for every text of the section many times over; a larger file is read no further.
constexpr qint64 kIniLimit = 1 << 20;

int64_t number(const Row& row, int field) {
    return std::get<int64_t>(row[static_cast<size_t>(field)]);
}

QString text(const Row& row, int field) {
    return std::get<QString>(row[static_cast<size_t>(field)]);
}

int field(const char* name) {
    return tables::passwords().fieldIndex(QString::fromLatin1(name));
}

// The report's pictures are written as the layouts name them ("s30", "d4b"); the conversions take them with
// their "@".
QString withAt(const QString& picture) {
    const QString p = picture.trimmed();
    return p.startsWith(QLatin1Char('@')) ? p : QLatin1Char('@') + p;
}

// The width of a text picture ("s30" is 30); 0 for none.
int textWidth(const QString& picture) {
    const QString p = withAt(picture);
    return picture::classOf(p) == picture::Class::Text ? p.mid(2).toInt() : 0;
}

} // namespace

// ---- display strings ----

const std::vector<std::pair<QString, QString>>& ReportStrings::defaults() {
    static const std::vector<std::pair<QString, QString>> all = {
        {"ProgWinTitlePrvw", "Generating Report"},
        {"ProgWinTitlePrnt", "Printing Report"},
        {"ProgWinPctText", "% Completed"},
        {"ProgWinRecText", "Records Read"},
        {"ProgWinUsrText", ""},
        {"PrinterDlgTitle", "Report Destination"},
        {"AskPrvwDialogTitle", "Preview"},
        {"AskPrvwDialogText", "Do you wish to PREVIEW this Report?"},
        {"CancelAreYouSureTitle", "Question"},
        {"CancelAreYouSureText", "Are you sure you want to CANCEL this Report?"},
        {"CancelPrvwPartialTitle", "Question"},
        {"CancelPrvwPartialText", "Report Cancellation Requested!||Preview Report generated so far?"},
        {"NoDfltPrtrTitle", "WARNING!"},
        {"NoDfltPrtrText",
         "Warning:  No DEFAULT Printer Driver Found!||Printing may not occur correctly (or at all)|without a Default "
         "printer assigned.||Use CONTROL PANEL (PRINTERS) to set a|printer as your Default.||Continue with report "
         "anyway?"},
        {"NothingToPrvwTitle", "NOTE..."},
        {"NothingToPrvwText", "Nothing to Preview."},
        {"NothingToPrntTitle", "NOTE..."},
        {"NothingToPrntText", "Nothing to Print."},
        {"AsciiOutTitle", "Save to what Filename?"},
        {"AsciiOutMasks", "Text|*.TXT|All Files|*.*"},
        {"DynLblErrTitle", "Problem!"},
        {"DynLblErrText1", "Sorry!||"},
        {"DynLblErrText2", "||Does not support paper type:"},
    };
    return all;
}

ReportStrings::ReportStrings() {
    for (const auto& [key, value] : defaults()) {
        m_texts[key.toUpper()] = value;
    }
}

QString ReportStrings::text(const QString& key) const {
    const auto it = m_texts.find(key.toUpper());
    if (it == m_texts.end()) {
        return {};
    }
    QString t = it->second;
    return t.replace(QLatin1Char('|'), QLatin1Char('\n'));
}

ReportStrings ReportStrings::read(const QString& path) {
    ReportStrings strings;
    if (!isRegularFile(path)) {
        return strings;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return strings;
    }
    const QByteArray bytes = file.read(kIniLimit);
    // Written on any system: UTF-8 where it is that, else one byte a character.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString content = utf8(bytes);
    if (utf8.hasError()) {
        content = QString::fromLatin1(bytes);
    }
    // Read line by line, the way initialization files always were: a value runs to the end of its line, so a
    // comma in it is part of the text. The first occurrence of a key counts.
    bool inSection = false;
    std::map<QString, bool> seen;
    for (QStringView line : QStringView(content).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            inSection = close > 0 && line.mid(1, close - 1).trimmed().compare(kSection, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection || line.startsWith(QLatin1Char(';'))) {
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            continue;
        }
        const QString key = line.left(eq).trimmed().toString().toUpper();
        QStringView value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
            value = value.mid(1, value.size() - 2);
        }
        if (strings.m_texts.count(key) && !seen[key]) {
            seen[key] = true;
            // A NUL or other control character of a damaged file has no place in a message.
            QString v = value.toString();
            v.removeIf([](QChar c) { return c.unicode() < 0x20 && c != QLatin1Char('\t'); });
            strings.m_texts[key] = v;
        }
    }
    return strings;
}

ReportStrings ReportStrings::load(const DataStore& store) {
    const QString path = QDir(store.directory()).filePath(QStringLiteral("CPCSRPTS.INI"));
    // Opening one of the store's files and closing it again would drop this program's locks on it.
    if (store.holdsFile(path)) {
        return {};
    }
    return read(path);
}

// ---- options ----

ReportOptions ReportOptions::of(const Settings& program) {
    return {program.dateFormat,
            ReportFont::Texts{program.fontType, program.fontSize, program.fontColour, program.fontStyle}};
}

ReportOptions ReportOptions::read(ConfigStore& config) {
    ReportOptions o;
    o.dateCode = config.read(QStringLiteral("DateFormat")).left(4);
    o.font.colour = config.read(QStringLiteral("FontColour"));
    o.font.style = config.read(QStringLiteral("FontStyle"));
    o.font.size = config.read(QStringLiteral("FontSize"));
    o.font.type = config.read(QStringLiteral("FontType"));
    return o;
}

// ---- pictures ----

QString ReportOperations::pictureText(const QString& text, const QString& picture) {
    return picture::format(text, withAt(picture));
}

QString ReportOperations::pictureText(int64_t value, const QString& picture, const QString& dateCode) {
    // The options' code in place of the report's own date pictures, by the rule every window follows.
    const QString p = replaceDatePictures(withAt(picture), dateCode);
    const QChar type = picture::typeLetter(p);
    // A damaged entry's date or time beyond its range is no date or time: blank, never a day of 1800.
    if ((type == QLatin1Char('d') && (value < 0 || value > INT32_MAX)) ||
        (type == QLatin1Char('t') && (value < 0 || value > kHundredthsPerDay))) {
        return {};
    }
    return picture::format(value, p);
}

// ---- kinds ----

bool ReportOperations::offersPreview(ReportKind kind) {
    return kind == ReportKind::DateChanged || kind == ReportKind::Master;
}

QStringList ReportOperations::kindNames() {
    return {QStringLiteral("service"), QStringLiteral("url"), QStringLiteral("name"), QStringLiteral("date"),
            QStringLiteral("master")};
}

std::optional<ReportKind> ReportOperations::kindNamed(const QString& word) {
    const qsizetype i = kindNames().indexOf(word.trimmed().toLower());
    if (i < 0) {
        return std::nullopt;
    }
    return static_cast<ReportKind>(i);
}

void ReportOperations::showNothing(MessageService& messages, const ReportStrings& strings, bool previewing) {
    if (previewing) {
        messages.show(strings.text(QStringLiteral("NothingToPrvwTitle")),
                      strings.text(QStringLiteral("NothingToPrvwText")));
    } else {
        messages.show(strings.text(QStringLiteral("NothingToPrntTitle")),
                      strings.text(QStringLiteral("NothingToPrntText")));
    }
}

// ---- the pass ----

namespace {

struct KindSpec {
    const char* heading;
    const char* key;
    QStringList captions;
    QStringList pictures;
};

const KindSpec& specOf(ReportKind kind) {
    static const KindSpec service{"Passwords by Service",
                                  "P_:KeyService",
                                  {"Service", "URL", "Name", "Password", "Notes"},
                                  {"s30", "s90", "s30", "s20", ""}};
    static const KindSpec url{"Passwords by URL",
                              "P_:KeyURL",
                              {"Service", "URL", "Name", "Password", "Notes"},
                              {"s30", "s90", "s30", "s20", ""}};
    static const KindSpec name{"Passwords by Name",
                               "P_:KeyName",
                               {"Service", "URL", "Name", "Password", "Notes"},
                               {"s30", "s90", "s128", "s128", ""}};
    static const KindSpec date{"Passwords by Last Date Changed",
                               "P_:KeyDateChanged",
                               {"Service", "Name", "Last Change Date", "Time"},
                               {"s30", "s30", "d4", "t3"}};
    static const KindSpec master{"Master Password Report for ", "P_:KeyService", {}, {}};
    switch (kind) {
    case ReportKind::Service:
        return service;
    case ReportKind::Url:
        return url;
    case ReportKind::Name:
        return name;
    case ReportKind::DateChanged:
        return date;
    case ReportKind::Master:
        break;
    }
    return master;
}

} // namespace

ReportOperations::Pass::Pass(DataStore& store, MessageService& messages, ReportKind kind, const UserRecord& user)
    : m_store(store), m_messages(messages), m_kind(kind) {
    const KindSpec& spec = specOf(kind);
    m_key = tables::passwords().keyIndex(QString::fromLatin1(spec.key));
    m_range.prefix = {user.name};
    m_layout.kind = kind;
    m_layout.heading = QString::fromLatin1(spec.heading);
    if (kind == ReportKind::Master) {
        QString name = user.name;
        while (!name.isEmpty() && name.back().isSpace()) {
            name.chop(1);
        }
        m_layout.heading += name;
        m_layout.pageCaption = QStringLiteral("Page:");
        m_layout.headingInReportFont = false;
    } else {
        m_layout.pageCaption = QStringLiteral("Page");
        for (qsizetype i = 0; i < spec.captions.size(); ++i) {
            m_layout.captions << spec.captions[i];
            const QString& picture = spec.pictures[i];
            // Dates and times take the room of their longest forms (the system's long date); notes run under
            // the cells.
            const int w = textWidth(picture);
            m_layout.widths << (w > 0 ? w : picture.startsWith(QLatin1Char('d')) ? 28 : picture.isEmpty() ? 0 : 11);
        }
    }
}

void ReportOperations::Pass::failed(const StoreError& e) {
    m_messages.show(storeMessages::retrievalTitle(), storeMessages::accessingPasswords(e));
    m_stopped = true;
    m_over = true;
}

bool ReportOperations::Pass::read(int limit) {
    if (m_atEnd) {
        return false;
    }
    try {
        KeyRange r = m_range;
        r.limit = limit;
        m_ahead = m_store.read(tables::passwords(), m_key, r);
    } catch (const StoreError& e) {
        failed(e);
        m_ahead.clear();
        return false;
    }
    m_next = 0;
    if (m_ahead.size() < static_cast<size_t>(limit)) {
        m_atEnd = true;
    }
    if (!m_ahead.empty()) {
        // The next read starts behind the last entry read, by its place in the key.
        const KeyDef& k = tables::passwords().keys[static_cast<size_t>(m_key)];
        const Row& last = m_ahead.back().first;
        m_range.from.clear();
        for (size_t i = 1; i < k.fields.size(); ++i) {
            m_range.from.push_back(last[static_cast<size_t>(k.fields[i])]);
        }
        m_range.fromRowId = m_ahead.back().second;
        m_range.fromExclusive = true;
    }
    return !m_ahead.empty();
}

bool ReportOperations::Pass::begin() {
    // Read ahead: the entries of a whole tick come in one read.
    if (read(kEntriesPerTick)) {
        return true;
    }
    // No entries: the pass is over, complete with nothing in it.
    m_completed = !m_stopped;
    m_over = true;
    return false;
}

bool ReportOperations::Pass::slice(ReportSink& sink, int entries) {
    for (int n = 0; n < std::max(entries, 1) && !m_over; ++n) {
        if (m_next >= m_ahead.size() && !read(std::max(entries, kEntriesPerTick))) {
            if (!m_stopped) {
                m_completed = true;
            }
            m_over = true;
            break;
        }
        const ReportDetail b = band(m_ahead[m_next++].first);
        if (!sink.detail(b)) {
            m_over = true;
            break;
        }
        ++m_printed;
    }
    if (!m_over && m_next >= m_ahead.size() && m_atEnd) {
        m_completed = true;
        m_over = true;
    }
    if (m_over) {
        m_ahead.clear();
    }
    return !m_over;
}

QString ReportOperations::Pass::progressText(const ReportStrings& strings) const {
    const int64_t percent = m_total > 0 ? std::min<int64_t>((m_printed + 1) * 100 / m_total, 100) : 100;
    return QString::number(percent).rightJustified(3) + strings.text(QStringLiteral("ProgWinPctText"));
}

ReportDetail ReportOperations::Pass::band(const Row& e) const {
    static const int service = field("P_:Service");
    static const int url = field("P_:URL");
    static const int name = field("P_:Name");
    static const int password = field("P_:Password");
    static const int date = field("P_:LastChangeDate");
    static const int time = field("P_:LastChangeTime");
    static const int monitor = field("P_:Monitor");
    static const int wait = field("P_:SecondsToWait");
    static const int title = field("P_:WindowTitleToLocate");
    static const int noRepeat = field("P_:DoNotRepeatSeconds");
    static const int paste = field("P_:Paste");
    static const int notes = field("P_:Notes");
    static const int moreNotes = field("P_:MoreNotes");
    ReportDetail d;
    switch (m_kind) {
    case ReportKind::Service:
    case ReportKind::Url:
    case ReportKind::Name: {
        const QStringList& pictures = specOf(m_kind).pictures;
        d.cells = {pictureText(text(e, service), pictures[0]), pictureText(text(e, url), pictures[1]),
                   pictureText(text(e, name), pictures[2]), pictureText(text(e, password), pictures[3])};
        d.blocks = {text(e, notes)};
        break;
    }
    case ReportKind::DateChanged:
        d.cells = {pictureText(text(e, service), QStringLiteral("s30")),
                   pictureText(text(e, name), QStringLiteral("s30")),
                   pictureText(number(e, date), QStringLiteral("d4"), m_dateCode),
                   pictureText(number(e, time), QStringLiteral("t3"), m_dateCode)};
        break;
    case ReportKind::Master:
        d.fields = {{QStringLiteral("Service"), pictureText(text(e, service), QStringLiteral("s30"))},
                    {QStringLiteral("URL"), pictureText(text(e, url), QStringLiteral("s90"))},
                    {QStringLiteral("Name"), pictureText(text(e, name), QStringLiteral("s128"))},
                    {QStringLiteral("Password"), pictureText(text(e, password), QStringLiteral("s128"))}};
        d.changedDate = pictureText(number(e, date), QStringLiteral("d4b"), m_dateCode);
        d.changedTime = pictureText(number(e, time), QStringLiteral("t3b"), m_dateCode);
        d.monitor = number(e, monitor) != 0;
        d.wait = pictureText(number(e, wait), QStringLiteral("n3B"), m_dateCode);
        d.title = pictureText(text(e, title), QStringLiteral("s100"));
        d.noRepeat = pictureText(number(e, noRepeat), QStringLiteral("n_6B"), m_dateCode);
        d.send = pictureText(text(e, paste), QStringLiteral("s255"));
        d.blocks = {text(e, notes), text(e, moreNotes)};
        break;
    }
    return d;
}

std::unique_ptr<ReportOperations::Pass> ReportOperations::start(ReportKind kind, const UserRecord& user,
                                                                const ReportOptions& options, int32_t day,
                                                                int32_t time) {
    std::unique_ptr<Pass> pass(new Pass(m_store, m_messages, kind, user));
    pass->m_dateCode = options.dateCode;
    pass->m_layout.font = options.font;
    if (kind == ReportKind::Master) {
        pass->m_layout.startedDate = pictureText(day, QStringLiteral("D3"), options.dateCode);
        pass->m_layout.startedTime = pictureText(time, QStringLiteral("T3"), options.dateCode);
    }
    try {
        pass->m_total = m_store.count(tables::passwords());
    } catch (const StoreError& e) {
        m_messages.show(storeMessages::viewOpenTitle(), storeMessages::accessingPasswords(e));
        return {};
    }
    return pass;
}

} // namespace zendrel
