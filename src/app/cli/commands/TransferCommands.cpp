#include "app/cli/Command.h"
#include "base/Picture.h"
#include "operations/TransferOperations.h"

namespace zendrel::cli {

namespace {

QString fieldList() {
    QStringList names;
    for (const auto& f : TransferOperations::fields()) {
        names << f.name;
    }
    return names.join(QStringLiteral(", "));
}

// "KEY=PIC" options: the key and the picture, the picture checked as the picture window checks it.
std::vector<std::pair<QString, QString>> pictureOptions(Context& c, const QCommandLineParser& o) {
    std::vector<std::pair<QString, QString>> pictures;
    for (const QString& option : o.values(QStringLiteral("picture"))) {
        const qsizetype eq = option.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            throw UsageError{QStringLiteral("--picture takes KEY=PICTURE, as in 3=@d17")};
        }
        const QString picture = option.mid(eq + 1);
        if (const auto why = picture::refusal(picture)) {
            c.messages().show(QStringLiteral("Invalid Picture!"), *why);
            throw Refusal{};
        }
        pictures.emplace_back(option.left(eq).trimmed(), picture.left(picture::kWidth));
    }
    return pictures;
}

void claimed(const std::unique_ptr<DelimitedText>& text) {
    if (!text) {
        throw Refusal{QStringLiteral("another import or export is running.")};
    }
}

class ExportCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("export"); }
    QString synopsis() const override {
        return QStringLiteral("export --user NAME --fields LIST [--picture FIELD=PIC] [--header] --file PATH|-");
    }
    QString summary() const override { return QStringLiteral("write a user's entries into a comma-separated file"); }
    QString usage() const override { return synopsis(); }
    QString description() const override {
        return QStringLiteral(
                   "Writes one line per entry of the user, in stored order, with the fields of LIST (names separated "
                   "by\ncommas) in that order, each through its default picture or the one given by --picture "
                   "(repeatable).\n--header writes the field names first. The file is made with mode 0600: it holds "
                   "the passwords in\nclear. Prints the number of entries written; with --file - the lines go to "
                   "standard output and\nthe number to standard error.\nFields: ") +
               fieldList();
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(valued(QStringLiteral("fields"), QStringLiteral("the fields"), QStringLiteral("LIST")));
        p.addOption(valued(QStringLiteral("picture"), QStringLiteral("a field's picture"), QStringLiteral("FIELD=PIC")));
        p.addOption(flag(QStringLiteral("header"), QStringLiteral("a first line of field names")));
        p.addOption(valued(QStringLiteral("file"), QStringLiteral("the file"), QStringLiteral("PATH")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("export takes only options")};
        }
        const QString path = requiredOption(o, QStringLiteral("file"));
        std::vector<TransferOperations::ExportField> chosen;
        for (const QString& name : requiredOption(o, QStringLiteral("fields")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const int n = TransferOperations::fieldNumber(name);
            if (n < 0) {
                throw UsageError{QStringLiteral("%1 is not a field that can be exported; they are: %2")
                                     .arg(name.trimmed(), fieldList())};
            }
            const auto& f = TransferOperations::fields()[static_cast<size_t>(n)];
            chosen.push_back({f.name, f.picture});
        }
        for (const auto& [field, picture] : pictureOptions(c, o)) {
            const int n = TransferOperations::fieldNumber(field);
            auto it = std::find_if(chosen.begin(), chosen.end(), [&](const auto& f) {
                return TransferOperations::fieldNumber(f.name) == n;
            });
            if (it == chosen.end()) {
                throw UsageError{QStringLiteral("--picture names %1, which is not among --fields").arg(field)};
            }
            it->picture = picture;
        }
        TransferOperations ops(c.store(), c.messages());
        if (!ops.checkExportFields(static_cast<int>(chosen.size()))) {
            return kRefused;
        }
        const UserRecord user = c.login(requiredOption(o, QStringLiteral("user")));
        auto text = DelimitedText::claim(c.messages(), nullptr, &c.store());
        claimed(text);
        auto pass = ops.startExport(*text, user, chosen, o.isSet(QStringLiteral("header")), path);
        if (!pass) {
            return kRefused;
        }
        while (pass->slice(1 << 20)) {
        }
        const bool ok = pass->finish();
        (path == QLatin1String("-") ? c.io().err : c.out()) << pass->written() << '\n';
        return ok && c.messagesShown() == 0 ? kDone : kRefused;
    }
};

class ImportCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("import"); }
    QString synopsis() const override {
        return QStringLiteral(
            "import --user NAME (--auto | --map N=FIELD,...) [--picture N=PIC] [--strip-header] --file PATH");
    }
    QString summary() const override { return QStringLiteral("add a user's entries from a comma-separated file"); }
    QString usage() const override { return synopsis(); }
    QString description() const override {
        return QStringLiteral(
                   "Adds one entry per line of PATH. --map assigns column N (from 1) to a field; one column may feed "
                   "several\nfields. --auto assigns each field the column whose first line holds its name, and "
                   "then skips that\nline. --picture N=PIC reads column N through a picture, such as 7=@d17 for "
                   "dates. --strip-header\nskips the first line. Prints the number of entries added; entries added "
                   "before an error stay.\nFields: ") +
               fieldList();
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(flag(QStringLiteral("auto"), QStringLiteral("assign columns by the header's field names")));
        p.addOption(valued(QStringLiteral("map"), QStringLiteral("column assignments"), QStringLiteral("N=FIELD,...")));
        p.addOption(valued(QStringLiteral("picture"), QStringLiteral("a column's picture"), QStringLiteral("N=PIC")));
        p.addOption(flag(QStringLiteral("strip-header"), QStringLiteral("skip the first line")));
        p.addOption(valued(QStringLiteral("file"), QStringLiteral("the file"), QStringLiteral("PATH")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("import takes only options")};
        }
        const QString path = requiredOption(o, QStringLiteral("file"));
        const bool automatic = o.isSet(QStringLiteral("auto"));
        if (automatic == o.isSet(QStringLiteral("map"))) {
            throw UsageError{QStringLiteral("import takes either --auto or --map")};
        }
        std::vector<int> assignment(TransferOperations::fields().size(), -1);
        for (const QString& pair : o.values(QStringLiteral("map")).join(QLatin1Char(',')).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const qsizetype eq = pair.indexOf(QLatin1Char('='));
            bool ok = false;
            const int column = eq > 0 ? pair.left(eq).trimmed().toInt(&ok) : 0;
            const int field = eq > 0 ? TransferOperations::fieldNumber(pair.mid(eq + 1)) : -1;
            if (!ok || column < 1 || field < 0) {
                throw UsageError{QStringLiteral("--map takes N=FIELD pairs with N from 1, such as 2=P_:Service; the "
                                                "fields are: %1")
                                     .arg(fieldList())};
            }
            assignment[static_cast<size_t>(field)] = column - 1;
        }
        std::vector<std::pair<int, QString>> pictures;
        for (const auto& [key, picture] : pictureOptions(c, o)) {
            bool ok = false;
            const int column = key.toInt(&ok);
            if (!ok || column < 1) {
                throw UsageError{QStringLiteral("--picture takes N=PICTURE with the column N from 1")};
            }
            pictures.emplace_back(column - 1, picture);
        }
        const UserRecord user = c.login(requiredOption(o, QStringLiteral("user")));
        TransferOperations ops(c.store(), c.messages());
        auto text = DelimitedText::claim(c.messages(), nullptr, &c.store());
        claimed(text);
        auto source = ops.openSource(*text, path);
        if (!source) {
            if (c.messagesShown() == 0) {
                c.messages().show(DelimitedText::emptyFileMessage());
            }
            return kRefused;
        }
        auto& columns = source->columns();
        for (size_t t = 0; t < assignment.size(); ++t) {
            if (assignment[t] >= static_cast<int>(columns.size())) {
                throw UsageError{QStringLiteral("--map names column %1; the file has %2")
                                     .arg(assignment[t] + 1)
                                     .arg(columns.size())};
            }
        }
        for (const auto& [column, picture] : pictures) {
            if (static_cast<size_t>(column) >= columns.size()) {
                throw UsageError{QStringLiteral("--picture names column %1; the file has %2")
                                     .arg(column + 1)
                                     .arg(columns.size())};
            }
            columns[static_cast<size_t>(column)].picture = picture;
        }
        bool strip = o.isSet(QStringLiteral("strip-header"));
        if (automatic) {
            strip = source->autoAssign(assignment) > 0 || strip;
        }
        if (!ops.checkImportAssigned(assignment)) {
            return kRefused;
        }
        auto pass = ops.startImport(*text, user, columns, assignment, strip);
        while (pass->slice(1000)) {
        }
        c.out() << pass->added() << '\n';
        return pass->stopped() || c.messagesShown() > 0 ? kRefused : kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeExport() {
    return std::make_unique<ExportCommand>();
}

std::unique_ptr<Command> makeImport() {
    return std::make_unique<ImportCommand>();
}

} // namespace zendrel::cli
