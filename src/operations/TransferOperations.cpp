#include "operations/TransferOperations.h"

#include "base/Picture.h"
#include "data/StoreMessages.h"

#include <QRegularExpression>
#include <algorithm>
#include <limits>
#include <utility>

namespace zendrel {

namespace {

const TableDef& passwords() {
    return tables::passwords();
}

int column(const char* name) {
    return passwords().fieldIndex(QString::fromLatin1(name));
}

// The table's position of each transferable field, in the order of fields().
const std::vector<int>& tableFields() {
    static const std::vector<int> indexes = [] {
        std::vector<int> v;
        for (const auto& f : TransferOperations::fields()) {
            v.push_back(passwords().fieldIndex(f.name));
        }
        return v;
    }();
    return indexes;
}

// "Error #" number " - " text, from the store's error text "<description> (<code>)".
QString numberedError(const QString& errorText) {
    static const QRegularExpression form(QStringLiteral("^(.*)\\s\\((-?\\d+)\\)$"));
    const QRegularExpressionMatch m = form.match(errorText.trimmed());
    if (!m.hasMatch()) {
        return QStringLiteral("Error #0 - %1").arg(errorText.trimmed());
    }
    return QStringLiteral("Error #%1 - %2").arg(m.captured(2), m.captured(1).trimmed());
}

const QString kRetrievalError = storeMessages::retrievalTitle();
const QString kCannotAdd = QStringLiteral("Cannot ADD to Passwords!");

QString retrievalText(const QString& errorText) {
    return storeMessages::accessing(errorText, QStringLiteral("Passwords"));
}

} // namespace

const std::vector<TransferOperations::Field>& TransferOperations::fields() {
    static const std::vector<Field> all = {
        {"P_:Notes", "@s255"},
        {"P_:MoreNotes", "@s255"},
        {"P_:Service", "@s128"},
        {"P_:URL", "@s255"},
        {"P_:Name", "@s128"},
        {"P_:Password", "@s128"},
        {"P_:ExpiryDate", "@d17"},
        {"P_:ExpiryInterval", "@n_3b"},
        {"P_:LastChangeDate", "@d17"},
        {"P_:LastChangeTime", "@t3"},
        {"P_:Level", "@n6b"},
        {"P_:Monitor", "@n3"},
        {"P_:SecondsToWait", "@p<<<# secondspb"},
        {"P_:WindowTitleToLocate", "@s100"},
        {"P_:WindowContents", "@s40"},
        {"P_:DoNotRepeatSeconds", "@p<<<# secondspb"},
        {"P_:Paste", "@s255"},
        {"P_:DirectSend", "@n3"},
        {"P_:Filename", "@s255"},
        {"P_:EncryptedFilename", "@s255"},
    };
    return all;
}

int TransferOperations::fieldNumber(const QString& name) {
    const auto& all = fields();
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].name.compare(name.trimmed(), Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString TransferOperations::valueOf(const Row& entry, int field) {
    const Value& v = entry[static_cast<size_t>(tableFields()[static_cast<size_t>(field)])];
    if (const auto* text = std::get_if<QString>(&v)) {
        return *text;
    }
    if (const auto* number = std::get_if<int64_t>(&v)) {
        return QString::number(*number);
    }
    return {};
}

std::optional<TransferOperations::Refusal> TransferOperations::setValue(Row& entry, int field, const QString& value) {
    const int index = tableFields()[static_cast<size_t>(field)];
    const FieldDef& f = passwords().fields[static_cast<size_t>(index)];
    if (f.isText()) {
        entry[static_cast<size_t>(index)] = fitText(value, f.width);
        return std::nullopt;
    }
    const int64_t n = picture::toNumber(value);
    // The table's own range where it has one, in its words; else what the field's type holds.
    for (const RangeCheck& r : passwords().ranges) {
        if (r.field == index && (n < r.low || n > r.high)) {
            return Refusal{QStringLiteral("Range Error"),
                           QStringLiteral("The value of %1 must be between %2.").arg(r.label, r.range)};
        }
    }
    const bool isByte = f.type == FieldType::Byte;
    const int64_t low = isByte ? 0 : std::numeric_limits<int32_t>::min();
    const int64_t high = isByte ? 255 : std::numeric_limits<int32_t>::max();
    if (n < low || n > high) {
        return Refusal{QStringLiteral("Range Error"),
                       QStringLiteral("The value of %1 must be between %2 and %3.").arg(f.name).arg(low).arg(high)};
    }
    entry[static_cast<size_t>(index)] = n;
    return std::nullopt;
}

bool TransferOperations::checkExportFields(int count) {
    if (count > 0) {
        return true;
    }
    m_messages.show(QStringLiteral("No Fields Selected for Export!"),
                    QStringLiteral("You must select one or more fields to export."));
    return false;
}

bool TransferOperations::checkImportAssigned(const std::vector<int>& assignment) {
    if (std::any_of(assignment.begin(), assignment.end(), [](int c) { return c >= 0; })) {
        return true;
    }
    m_messages.show(QStringLiteral("No Fields Selected for Import!"),
                    QStringLiteral("You must select one or more fields to import."));
    return false;
}

std::unique_ptr<TransferOperations::Export> TransferOperations::startExport(DelimitedText& text, const UserRecord& user,
                                                                            const std::vector<ExportField>& chosen,
                                                                            bool header, const QString& path) {
    if (path != QLatin1String("-") && !text.createExportFile(path)) {
        return {};
    }
    if (path == QLatin1String("-")) {
        text.useStandardOutput();
    }
    std::unique_ptr<Export> e(new Export(*this, text));
    e->m_user = fitText(user.name, width::kUserName);
    for (const ExportField& f : chosen) {
        if (const int n = fieldNumber(f.name); n >= 0) {
            e->m_columns.emplace_back(n, f.picture);
        }
    }
    e->m_header = header;
    if (header) {
        text.startLine();
        for (const auto& [field, picture] : e->m_columns) {
            text.writeField(fields()[static_cast<size_t>(field)].name, QStringLiteral("@s50"), true);
        }
        if (!text.writeLine()) {
            e->m_over = e->m_stopped = true;
        }
    }
    // The view of the user's entries: how many there are, and its first records. Whatever keeps either
    // from being read is the view's failure; a failure of the records after them is one of reading.
    try {
        e->m_total = m_store.count(passwords(), passwords().keyIndex(QStringLiteral("P_:KeyService")), {user.name});
        e->m_page = m_store.readPhysical(passwords(), 0, Export::kPage);
    } catch (const StoreError& err) {
        m_messages.show(storeMessages::viewOpenTitle(), retrievalText(err.errorText()));
        e->m_over = e->m_stopped = true;
    }
    return e;
}

bool TransferOperations::Export::slice(int64_t bytes) {
    static const int owner = column("P_:User");
    int64_t done = 0;
    try {
        while (!m_over && done < bytes) {
            if (m_pageAt >= m_page.size()) {
                m_page = m_ops.m_store.readPhysical(passwords(), m_after, kPage);
                m_pageAt = 0;
                if (m_page.empty()) {
                    m_over = true;
                    break;
                }
            }
            const auto& [entry, rowId] = m_page[m_pageAt++];
            m_after = rowId;
            if (std::get<QString>(entry[static_cast<size_t>(owner)]) != m_user) {
                continue;
            }
            m_text.startLine();
            for (const auto& [field, picture] : m_columns) {
                m_text.writeField(valueOf(entry, field), picture);
            }
            done += m_text.line().size() + 2;
            if (!m_text.writeLine()) {
                m_over = m_stopped = true;
                break;
            }
            ++m_done;
        }
    } catch (const StoreError& e) {
        m_ops.m_messages.show(kRetrievalError, retrievalText(e.errorText()));
        m_over = m_stopped = true;
    }
    if (m_over) {
        m_page.clear();
    }
    return !m_over;
}

bool TransferOperations::Export::finish() {
    if (m_finished) {
        return !m_stopped;
    }
    m_finished = true;
    m_over = true;
    if (!m_text.closeFile()) {
        m_stopped = true;
    }
    return !m_stopped;
}

std::unique_ptr<TransferOperations::Source> TransferOperations::openSource(DelimitedText& text, const QString& path) {
    if (text.openImportFile(path) == 0 || text.readLine() == 0) {
        return {};
    }
    std::unique_ptr<Source> s(new Source(text));
    while (text.nextField() != DelimitedText::NoField) {
        s->m_columns.push_back({QStringLiteral("Field_%1").arg(s->m_columns.size() + 1), QStringLiteral("@S1000"),
                                text.value().left(100)});
    }
    if (text.readLine() > 0) {
        for (Column& c : s->m_columns) {
            const DelimitedText::Field f = text.nextField();
            if (f == DelimitedText::NoField) {
                break;
            }
            if (f == DelimitedText::Unquoted) {
                c.picture = QStringLiteral("@N30.9");
            }
        }
    }
    text.rewind(true);
    text.readLine();
    return s;
}

bool TransferOperations::Source::next() {
    if (m_text.readLine() == 0) {
        return false;
    }
    ++m_record;
    for (Column& c : m_columns) {
        if (m_text.nextField() != DelimitedText::NoField) {
            c.value = m_text.value().left(100);
        }
    }
    return true;
}

int TransferOperations::Source::autoAssign(std::vector<int>& assignment) const {
    const auto& all = fields();
    assignment.resize(all.size(), -1);
    int assigned = 0;
    for (size_t t = 0; t < all.size(); ++t) {
        if (assignment[t] >= 0) {
            continue;
        }
        for (size_t c = 0; c < m_columns.size(); ++c) {
            QString shown = m_columns[c].value;
            while (shown.endsWith(QLatin1Char(' '))) {
                shown.chop(1);
            }
            if (shown == all[t].name) {
                assignment[t] = static_cast<int>(c);
                ++assigned;
                break;
            }
        }
    }
    return assigned;
}

std::unique_ptr<TransferOperations::Import> TransferOperations::startImport(DelimitedText& text, const UserRecord& user,
                                                                            const std::vector<Column>& columns,
                                                                            const std::vector<int>& assignment,
                                                                            bool stripHeader) {
    std::unique_ptr<Import> imp(new Import(*this, text));
    imp->m_user = user;
    imp->m_blank = m_store.prime(passwords());
    imp->m_targets.resize(columns.size());
    for (const Column& c : columns) {
        imp->m_pictures.push_back(c.picture);
    }
    for (size_t t = 0; t < assignment.size() && t < fields().size(); ++t) {
        const int c = assignment[t];
        if (c >= 0 && static_cast<size_t>(c) < columns.size()) {
            imp->m_targets[static_cast<size_t>(c)].push_back(static_cast<int>(t));
        }
    }
    text.rewind(true);
    if (stripHeader) {
        text.readLine();
    }
    imp->m_lineBytes = text.readLine();
    if (imp->m_lineBytes == 0) {
        imp->m_over = true;
    }
    return imp;
}

int TransferOperations::Import::percent() const {
    if (m_text.size() <= 0) {
        return 100;
    }
    return static_cast<int>(std::min<int64_t>(100, m_text.position() * 100 / m_text.size()));
}

void TransferOperations::Import::stop(const QString& title, const QString& text) {
    m_ops.m_messages.show(title, text);
    m_over = m_stopped = true;
}

const TableDef& TransferOperations::Import::written() const {
    return passwords();
}

void TransferOperations::Import::process(int lines) {
    m_sliceAdded = 0;
    for (int i = 0; i < lines && !m_over; ++i) {
        if (!addLine()) {
            break;
        }
        m_lineBytes = m_text.readLine();
        if (m_lineBytes == 0) {
            m_over = true;
        }
    }
}

void TransferOperations::Import::committed() {
    m_added += std::exchange(m_sliceAdded, 0);
    if (m_over) {
        endCheckpoints();
    }
}

void TransferOperations::Import::failed(const QString& errorText, bool atCommit) {
    // Nothing of the slice was kept.
    m_sliceAdded = 0;
    if (atCommit) {
        stop(kCannotAdd, numberedError(errorText));
    } else {
        stop(kRetrievalError, retrievalText(errorText));
    }
}

bool TransferOperations::Import::addLine() {
    static const int user = column("P_:User");
    static const int password = column("P_:Password");
    static const int confirm = column("P_:ConfirmPassword");
    // A line with nothing on it holds no entry.
    if (m_text.line().isEmpty()) {
        return true;
    }
    // Every line starts from a cleared entry with the values of a new record: nothing of the line before stays.
    Row entry = m_blank;
    for (size_t c = 0; c < m_targets.size(); ++c) {
        m_text.nextField();
        for (const int t : m_targets[c]) {
            m_text.applyPicture(m_pictures[c]);
            if (const auto refusal = setValue(entry, t, m_text.value())) {
                stop(refusal->title, refusal->text);
                return false;
            }
        }
    }
    entry[static_cast<size_t>(user)] = fitText(m_user.name, width::kUserName);
    entry[static_cast<size_t>(confirm)] = entry[static_cast<size_t>(password)];
    return add(entry);
}

bool TransferOperations::Import::add(Row& entry) {
    static const int id = column("P_:ID");
    static const int byId = passwords().keyIndex(QStringLiteral("P_:KeyID"));
    DataStore& store = m_ops.m_store;
    WriteResult failed;
    for (;;) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            // The number after the one this import added last, while that holds; the highest in use otherwise.
            if (m_nextId <= 0 || attempt > 0) {
                KeyRange last;
                last.backward = true;
                last.limit = 1;
                const auto highest = store.read(passwords(), byId, last);
                m_nextId = highest.empty() ? 1 : std::get<int64_t>(highest.front().first[static_cast<size_t>(id)]) + 1;
            }
            entry[static_cast<size_t>(id)] = m_nextId;
            DataStore::Quiet quiet;
            int64_t rowId = 0;
            failed = store.insert(passwords(), entry, rowId);
            if (failed) {
                m_nextId = std::get<int64_t>(entry[static_cast<size_t>(id)]) + 1;
                ++m_sliceAdded;
                if (onAdded) {
                    onAdded();
                }
                return true;
            }
            if (failed.kind != WriteResult::Duplicate) {
                break;
            }
        }
        if (failed.kind != WriteResult::Duplicate) {
            break;
        }
        const Answer a = m_ops.m_messages.show(Message{
            QStringLiteral("Auto Increment Error"),
            QStringLiteral("Attempts to automatically number this record have failed.  Error: %1.").arg(failed.errorText),
            Buttons::RetryCancel, Answer::Cancel, false, MessageKind::Question});
        if (a != Answer::Retry) {
            break;
        }
    }
    if (failed.errorText.isEmpty()) {
        // A refusal of the table's own checks, in its words.
        stop(failed.title, failed.text);
    } else {
        stop(kCannotAdd, numberedError(failed.errorText));
    }
    return false;
}

} // namespace zendrel
