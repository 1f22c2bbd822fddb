#include "operations/ReportPainter.h"

#include "base/Files.h"
#include "data/StoreMessages.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPaintEngine>
#include <QTextLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zendrel {

QFont reportFontOf(const ReportFont::Texts& texts, const QFont& base, QColor* colour) {
    const ReportFont f = ReportFont::read(texts);
    QFont font = base;
    if (f.typeface && QFontDatabase::families().contains(*f.typeface, Qt::CaseInsensitive)) {
        font.setFamily(*f.typeface);
    }
    if (f.pointSize) {
        font.setPointSize(*f.pointSize);
    }
    if (f.style) {
        font.setWeight(static_cast<QFont::Weight>(f.style->weight));
        font.setItalic(f.style->italic);
        font.setUnderline(f.style->underline);
        font.setStrikeOut(f.style->strikeOut);
    }
    if (colour && f.rgb) {
        *colour = QColor::fromRgb(static_cast<QRgb>(*f.rgb));
    }
    return font;
}

QPageLayout defaultReportPageLayout() {
    const bool inches = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
    return QPageLayout(QPageSize(inches ? QPageSize::Letter : QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}

SimpleGlyphs::SimpleGlyphs(const QFont& font, qreal dpi) {
    m_raw = QRawFont::fromFont(font);
    const qreal pixels = font.pointSizeF() > 0 ? font.pointSizeF() * dpi / 72.0 : font.pixelSize();
    // Only a face that is what the font asks for: a style the system must fake is left to the text engine.
    m_usable = m_raw.isValid() && pixels > 0 &&
               (m_raw.style() == QFont::StyleNormal) == (font.style() == QFont::StyleNormal) &&
               (m_raw.weight() >= QFont::DemiBold) == (font.weight() >= QFont::DemiBold);
    if (!m_usable) {
        return;
    }
    m_raw.setPixelSize(pixels);
    m_underline = font.underline();
    m_strikeOut = font.strikeOut();
    for (char16_t c = 0x20; c < kLimit; ++c) {
        if (c >= 0x7F && c < 0xA0) {
            continue;
        }
        const QChar ch(c);
        quint32 glyph = 0;
        int count = 1;
        if (m_raw.glyphIndexesForChars(&ch, 1, &glyph, &count) && count == 1 && glyph != 0) {
            QPointF advance;
            m_raw.advancesForGlyphIndexes(&glyph, &advance, 1);
            m_glyph[c] = glyph;
            m_advance[c] = advance.x();
        }
    }
}

bool SimpleGlyphs::advances(QStringView s, std::vector<qreal>& out) const {
    out.clear();
    if (!m_usable) {
        return false;
    }
    out.reserve(static_cast<size_t>(s.size()));
    for (const QChar c : s) {
        if (c.unicode() >= kLimit || m_glyph[c.unicode()] == 0) {
            return false;
        }
        out.push_back(m_advance[c.unicode()]);
    }
    return true;
}

qreal SimpleGlyphs::width(QStringView s) const {
    if (!m_usable) {
        return -1;
    }
    qreal w = 0;
    for (const QChar c : s) {
        if (c.unicode() >= kLimit || m_glyph[c.unicode()] == 0) {
            return -1;
        }
        w += m_advance[c.unicode()];
    }
    return w;
}

void SimpleGlyphs::draw(QPainter& painter, const QPointF& at, QStringView s) const {
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(s.size());
    positions.reserve(s.size());
    qreal x = 0;
    for (const QChar c : s) {
        glyphs.push_back(m_glyph[c.unicode()]);
        positions.push_back(QPointF(x, 0));
        x += m_advance[c.unicode()];
    }
    QGlyphRun run;
    run.setRawFont(m_raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    run.setUnderline(m_underline);
    run.setStrikeOut(m_strikeOut);
    painter.drawGlyphRun(at, run);
}

qreal ReportStyle::width(Role role, const QString& s, QPaintDevice& device) const {
    const qreal w = glyphs[role]->width(s);
    return w >= 0 ? w : QFontMetricsF(fonts[role], &device).horizontalAdvance(s);
}

ReportStyle ReportStyle::of(const ReportLayout& layout, qreal dpi) {
    ReportStyle s;
    QFont base;
    // One typeface on every machine where it is installed, so that a report's pages come out the same.
    if (QFontDatabase::families().contains(QStringLiteral("DejaVu Sans"))) {
        base.setFamily(QStringLiteral("DejaVu Sans"));
    }
    base.setPointSize(9);
    s.fonts[Heading] = base;
    s.fonts[Heading].setPointSize(14);
    s.fonts[Heading].setBold(true);
    s.fonts[Caption] = base;
    s.fonts[Caption].setBold(true);
    s.fonts[Detail] = base;
    s.fonts[Footer] = base;
    s.fonts[Footer].setPointSize(8);
    for (QColor& c : s.colours) {
        c = Qt::black;
    }
    if (!layout.font.type.trimmed().isEmpty()) {
        for (int r = 0; r < Roles; ++r) {
            if (r == Heading && !layout.headingInReportFont) {
                continue;
            }
            s.fonts[r] = reportFontOf(layout.font, s.fonts[r], &s.colours[r]);
        }
    }
    // No ligatures: "fi" in a password must stay two letters, also for whoever copies it out of the PDF. The
    // text engine leaves them out where letters are spaced, and a sixty-fourth of a pixel is spacing enough.
    for (int r = 0; r < Roles; ++r) {
        s.fonts[r].setLetterSpacing(QFont::AbsoluteSpacing, 1.0 / 64);
        s.glyphs[r] = std::make_shared<SimpleGlyphs>(s.fonts[r], dpi);
    }
    return s;
}

// ---- pages ----

void ReportPage::addText(ReportStyle::Role role, const QPointF& at, QStringView s) {
    Item item{Item::Text, role};
    item.start = static_cast<uint32_t>(text.size());
    item.length = static_cast<uint32_t>(s.size());
    item.x = static_cast<float>(at.x());
    item.y = static_cast<float>(at.y());
    text.append(s);
    items.push_back(item);
}

void ReportPage::addShape(Item::Kind kind, ReportStyle::Role role, const QPointF& at, const QPointF& to) {
    Item item{kind, role};
    item.x = static_cast<float>(at.x());
    item.y = static_cast<float>(at.y());
    item.x2 = static_cast<float>(to.x());
    item.y2 = static_cast<float>(to.y());
    items.push_back(item);
}

void ReportPage::squeeze() {
    text.squeeze();
    items.shrink_to_fit();
}

void ReportPage::paint(QPainter& painter) const {
    // A recording (the preview window's) keeps a glyph run as the outlines of its glyphs, megabytes a page;
    // text it keeps as text.
    const bool recording = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Picture;
    int role = -1;
    for (const Item& item : items) {
        if (item.kind == Item::Text) {
            if (item.role != role) {
                role = item.role;
                painter.setFont(style->fonts[role]);
                painter.setPen(style->colours[role]);
            }
            const QStringView s = textOf(item);
            if (!recording && style->glyphs[role]->width(s) >= 0) {
                style->glyphs[role]->draw(painter, item.at(), s);
            } else {
                painter.drawText(item.at(), s.toString());
            }
            continue;
        }
        QPen pen(Qt::black);
        pen.setWidthF(std::max<qreal>(1, painter.device()->logicalDpiY() / 144.0));
        painter.setPen(pen);
        role = -1;
        if (item.kind == Item::Line) {
            painter.drawLine(item.at(), item.to());
        } else {
            const QRectF box(item.at(), QSizeF(item.x2, item.y2));
            painter.drawRect(box);
            if (item.kind == Item::CheckedBox) {
                painter.drawLine(box.topLeft(), box.bottomRight());
                painter.drawLine(box.topRight(), box.bottomLeft());
            }
        }
    }
}

QStringList ReportPage::texts() const {
    QStringList out;
    for (const Item& item : items) {
        if (item.kind == Item::Text) {
            out << textOf(item).toString();
        }
    }
    return out;
}

DevicePages::~DevicePages() {
    if (m_painter && m_painter->isActive()) {
        m_painter->end();
    }
}

bool DevicePages::paint(const ReportPage& page) {
    if (m_failed) {
        return false;
    }
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>();
        if (!m_painter->begin(&m_device)) {
            m_failed = true;
            return false;
        }
    } else if (!m_device.newPage()) {
        m_failed = true;
        return false;
    }
    page.paint(*m_painter);
    ++m_pages;
    return true;
}

bool DevicePages::page(ReportPage&& page) {
    return paint(page);
}

bool DevicePages::finish() {
    if (m_painter && m_painter->isActive() && !m_painter->end()) {
        m_failed = true;
    }
    return !m_failed;
}

// ---- layout ----

struct ReportPainter::Metrics {
    qreal pt = 1; // device pixels per point
    qreal width = 0;
    qreal height = 0;
    qreal line[ReportStyle::Roles] = {};
    qreal ascent[ReportStyle::Roles] = {};
    std::vector<QFontMetricsF> fm;
    qreal bodyTop = 0;
    qreal bodyBottom = 0;
    qreal gap = 0; // between columns and before notes
    std::vector<qreal> columnX;
    std::vector<qreal> columnWidth;
    qreal labelWidth = 0; // the master report's captions
};

ReportPainter::ReportPainter(const ReportLayout& layout, QPaintDevice& device, PageOutput& output)
    : m_layout(layout), m_device(device), m_output(output),
      m_style(std::make_shared<ReportStyle>(ReportStyle::of(layout, device.logicalDpiY()))),
      m_m(std::make_unique<Metrics>()) {
    Metrics& m = *m_m;
    m.pt = device.logicalDpiY() / 72.0;
    m.width = device.width();
    m.height = device.height();
    for (int r = 0; r < ReportStyle::Roles; ++r) {
        m.fm.emplace_back(m_style->fonts[r], &device);
        m.line[r] = m.fm[r].lineSpacing();
        m.ascent[r] = m.fm[r].ascent();
    }
    m.gap = 6 * m.pt;
    // The columns share the line by their pictures' widths, a very wide one counting as 40 characters; the
    // notes (no width) run under the cells.
    int shares = 0;
    for (int w : m_layout.widths) {
        shares += std::min(w, 40);
    }
    qreal x = 0;
    for (int w : m_layout.widths) {
        if (w == 0) {
            continue;
        }
        const qreal cw = m.width * std::min(w, 40) / std::max(shares, 1);
        m.columnX.push_back(x);
        m.columnWidth.push_back(cw - m.gap);
        x += cw;
    }
    m.labelWidth = m_style->width(ReportStyle::Caption, QStringLiteral("Settings for Send:"), device) + m.gap;
    qreal top = m.line[ReportStyle::Heading] + m.gap;
    if (!m_layout.captions.isEmpty()) {
        top += m.line[ReportStyle::Caption] * (m_layout.widths.contains(0) ? 2 : 1) + m.gap;
    }
    m.bodyTop = top;
    m.bodyBottom = m.height - m.line[ReportStyle::Footer] - m.gap;
}

ReportPainter::~ReportPainter() = default;

void ReportPainter::text(ReportStyle::Role role, qreal x, qreal baseline, const QString& s) {
    if (!s.isEmpty()) {
        m_page.addText(role, QPointF(x, baseline), s);
    }
}

// Lines of at most `width`, broken after the last blank that fits, or anywhere in a word longer than a line;
// the blanks at a break are dropped.
static void breakLines(const QString& text, const std::vector<qreal>& advances, qreal width, QStringList& out) {
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qreal w = 0;
        qsizetype end = start;
        qsizetype lastBlank = -1;
        while (end < n && (w + advances[static_cast<size_t>(end)] <= width || end == start)) {
            if (text.at(end) == QLatin1Char(' ')) {
                lastBlank = end;
            }
            w += advances[static_cast<size_t>(end)];
            ++end;
        }
        qsizetype next = end;
        if (end < n && text.at(end) != QLatin1Char(' ') && lastBlank > start) {
            end = lastBlank;
            next = lastBlank + 1;
        }
        QString line = text.mid(start, end - start);
        while (!line.isEmpty() && line.back() == QLatin1Char(' ')) {
            line.chop(1);
        }
        out << line;
        while (next < n && text.at(next) == QLatin1Char(' ')) {
            ++next;
        }
        start = next;
    }
}

QStringList ReportPainter::wrap(const QString& s, ReportStyle::Role role, qreal width) const {
    QStringList out;
    QString clean = s;
    clean.remove(QLatin1Char('\r'));
    clean.replace(QLatin1Char('\t'), QLatin1Char(' '));
    clean.removeIf([](QChar c) { return c.unicode() < 0x20 && c != QLatin1Char('\n'); });
    const QFontMetricsF& fm = m_m->fm[role];
    const SimpleGlyphs& simple = *m_style->glyphs[role];
    std::vector<qreal> advances;
    for (const QString& paragraph : clean.split(QLatin1Char('\n'))) {
        if (paragraph.isEmpty()) {
            out << paragraph;
            continue;
        }
        if (simple.advances(paragraph, advances)) {
            breakLines(paragraph, advances, width, out);
            continue;
        }
        if (fm.horizontalAdvance(paragraph) <= width) {
            out << paragraph;
            continue;
        }
        QTextLayout layout(paragraph, m_style->fonts[role], &m_device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            QString part = paragraph.mid(line.textStart(), line.textLength());
            while (!part.isEmpty() && part.back() == QLatin1Char(' ')) {
                part.chop(1);
            }
            out << part;
        }
        layout.endLayout();
    }
    while (!out.isEmpty() && out.last().isEmpty()) {
        out.removeLast();
    }
    return out;
}

void ReportPainter::openPage() {
    const Metrics& m = *m_m;
    m_page = ReportPage{};
    m_page.style = m_style;
    m_open = true;
    m_pageHasDetail = false;
    ++m_pageNumber;
    // The heading, centred.
    const qreal hw = m_style->width(ReportStyle::Heading, m_layout.heading, m_device);
    text(ReportStyle::Heading, std::max<qreal>(0, (m.width - hw) / 2), m.ascent[ReportStyle::Heading],
         m_layout.heading);
    qreal y = m.line[ReportStyle::Heading] + m.gap / 2;
    if (!m_layout.captions.isEmpty()) {
        size_t column = 0;
        for (qsizetype i = 0; i < m_layout.captions.size(); ++i) {
            if (m_layout.widths[i] == 0) {
                // The notes' caption heads the line under the cells, where the notes run.
                text(ReportStyle::Caption, m.gap * 2, y + m.line[ReportStyle::Caption] + m.ascent[ReportStyle::Caption],
                     m_layout.captions[i]);
            } else {
                text(ReportStyle::Caption, m.columnX[column++], y + m.ascent[ReportStyle::Caption],
                     m_layout.captions[i]);
            }
        }
        const qreal bottom = m.bodyTop - m.gap / 2;
        m_page.addShape(ReportPage::Item::Line, ReportStyle::Caption, QPointF(0, bottom), QPointF(m.width, bottom));
    }
    m_y = m.bodyTop;
}

bool ReportPainter::closePage() {
    const Metrics& m = *m_m;
    const qreal top = m.bodyBottom + m.gap / 2;
    m_page.addShape(ReportPage::Item::Line, ReportStyle::Footer, QPointF(0, top), QPointF(m.width, top));
    const qreal baseline = top + m.gap / 2 + m.ascent[ReportStyle::Footer];
    if (m_layout.kind == ReportKind::Master) {
        text(ReportStyle::Footer, 0, baseline, m_layout.startedDate);
        const qreal dateWidth =
            m_style->width(ReportStyle::Footer, m_layout.startedDate + QStringLiteral("  "), m_device);
        text(ReportStyle::Footer, dateWidth, baseline, m_layout.startedTime);
    }
    const QString page = m_layout.pageCaption + QLatin1Char(' ') + QString::number(m_pageNumber);
    text(ReportStyle::Footer, m.width - m_style->width(ReportStyle::Footer, page, m_device), baseline, page);
    m_open = false;
    if (!m_output.page(std::move(m_page))) {
        m_failed = true;
    }
    m_page = ReportPage{};
    return !m_failed;
}

// Whether `height` fits on the page from here; if not, the next page is begun (unless this one holds nothing
// yet, where a taller band starts anyway).
bool ReportPainter::room(qreal height) {
    if (!m_open) {
        openPage();
    }
    if (m_y + height > m_m->bodyBottom && m_pageHasDetail) {
        if (!closePage()) {
            return false;
        }
        openPage();
    }
    return true;
}

bool ReportPainter::block(const QString& s, qreal indent) {
    const Metrics& m = *m_m;
    const qreal line = m.line[ReportStyle::Detail];
    for (const QString& l : wrap(s, ReportStyle::Detail, m.width - indent)) {
        // Line by line: a page's end continues the text on the next page.
        if (m_y + line > m.bodyBottom) {
            if (!closePage()) {
                return false;
            }
            openPage();
        }
        text(ReportStyle::Detail, indent, m_y + m.ascent[ReportStyle::Detail], l);
        m_y += line;
        m_pageHasDetail = true;
    }
    return true;
}

bool ReportPainter::listBand(const ReportDetail& band) {
    const Metrics& m = *m_m;
    std::vector<QStringList> cells;
    qsizetype lines = 1;
    for (size_t c = 0; c < m.columnX.size() && c < static_cast<size_t>(band.cells.size()); ++c) {
        cells.push_back(wrap(band.cells[static_cast<qsizetype>(c)], ReportStyle::Detail, m.columnWidth[c]));
        lines = std::max(lines, cells.back().size());
    }
    const qreal line = m.line[ReportStyle::Detail];
    if (!room(lines * line)) {
        return false;
    }
    for (size_t c = 0; c < cells.size(); ++c) {
        for (qsizetype i = 0; i < cells[c].size(); ++i) {
            text(ReportStyle::Detail, m.columnX[c], m_y + i * line + m.ascent[ReportStyle::Detail], cells[c][i]);
        }
    }
    m_y += lines * line;
    m_pageHasDetail = true;
    for (const QString& b : band.blocks) {
        if (!block(b, m.gap * 2)) {
            return false;
        }
    }
    m_y += m.gap / 2;
    return true;
}

bool ReportPainter::masterBand(const ReportDetail& band) {
    const Metrics& m = *m_m;
    const qreal line = m.line[ReportStyle::Detail];
    const qreal valueX = m.labelWidth;
    const qreal valueWidth = m.width - valueX;
    struct Row {
        QString label;
        QStringList values;
        qreal x = 0;
    };
    std::vector<Row> rows;
    for (const ReportDetail::Field& f : band.fields) {
        rows.push_back({f.caption, wrap(f.text, ReportStyle::Detail, valueWidth), valueX});
    }
    rows.push_back({QStringLiteral("Last Changed:"),
                    {(band.changedDate + QStringLiteral("  ") + band.changedTime).trimmed()},
                    valueX});
    // "Settings for Send:" with the check box, then its values.
    const qreal box = m.ascent[ReportStyle::Detail] * 0.8;
    const QString sendLine = QStringLiteral("Monitor");
    rows.push_back({QStringLiteral("Settings for Send:"), {}, valueX});
    struct Labelled {
        QString label;
        QString value;
    };
    const std::vector<Labelled> settings = {{QStringLiteral("Wait:"), band.wait},
                                            {QStringLiteral("No Repeat:"), band.noRepeat},
                                            {QStringLiteral("Title:"), band.title},
                                            {QStringLiteral("Send:"), band.send}};
    const qreal settingLabel = m_style->width(ReportStyle::Caption, QStringLiteral("No Repeat:"), m_device) + m.gap;
    std::vector<QStringList> settingValues;
    qsizetype settingLines = 0;
    for (const Labelled& s : settings) {
        settingValues.push_back(wrap(s.value, ReportStyle::Detail, valueWidth - settingLabel));
        settingLines += std::max<qsizetype>(1, settingValues.back().size());
    }
    qsizetype total = 1 + settingLines;
    for (const Row& r : rows) {
        total += std::max<qsizetype>(1, r.values.size());
    }
    if (!room(total * line)) {
        return false;
    }
    const qreal ascent = m.ascent[ReportStyle::Detail];
    for (const Row& r : rows) {
        text(ReportStyle::Caption, 0, m_y + ascent, r.label);
        for (qsizetype i = 0; i < r.values.size(); ++i) {
            text(ReportStyle::Detail, r.x, m_y + i * line + ascent, r.values[i]);
        }
        m_y += std::max<qsizetype>(1, r.values.size()) * line;
    }
    // The check box stands on the "Settings for Send:" line.
    const qreal boxTop = m_y - line + (ascent - box);
    m_page.addShape(band.monitor ? ReportPage::Item::CheckedBox : ReportPage::Item::Box, ReportStyle::Detail,
                    QPointF(valueX, boxTop), QPointF(box, box));
    text(ReportStyle::Caption, valueX + box + m.gap / 2, m_y - line + ascent, sendLine);
    for (size_t i = 0; i < settings.size(); ++i) {
        text(ReportStyle::Caption, valueX, m_y + ascent, settings[i].label);
        for (qsizetype j = 0; j < settingValues[i].size(); ++j) {
            text(ReportStyle::Detail, valueX + settingLabel, m_y + j * line + ascent, settingValues[i][j]);
        }
        m_y += std::max<qsizetype>(1, settingValues[i].size()) * line;
    }
    m_pageHasDetail = true;
    for (const QString& b : band.blocks) {
        if (!b.trimmed().isEmpty()) {
            m_y += m.gap / 2;
            if (!block(b, 0)) {
                return false;
            }
        }
    }
    // A rule between entries.
    m_y += m.gap / 2;
    if (m_y < m.bodyBottom) {
        m_page.addShape(ReportPage::Item::Line, ReportStyle::Detail, QPointF(0, m_y), QPointF(m.width, m_y));
    }
    m_y += m.gap;
    return true;
}

bool ReportPainter::detail(const ReportDetail& band) {
    if (m_failed) {
        return false;
    }
    const bool ok = m_layout.kind == ReportKind::Master ? masterBand(band) : listBand(band);
    return ok && !m_failed;
}

bool ReportPainter::finish() {
    if (m_open && !m_failed) {
        closePage();
    }
    return !m_failed;
}

// ---- PDF files ----

bool ReportPdfFile::acceptable(const QString& path, const DataStore* store, MessageService& messages) {
    auto refuse = [&](const QString& why) {
        messages.show(storeMessages::fileAccessTitle(), storeMessages::cannotOpen(path, why));
        return false;
    };
    if (path.trimmed().isEmpty()) {
        return refuse(QStringLiteral("File Not Found (2)"));
    }
    if (store && store->holdsFile(path)) {
        return refuse(QStringLiteral("It is one of Zendrel's own data files"));
    }
    if (!isAbsentOrRegularFile(path)) {
        return refuse(QStringLiteral("Not a regular file"));
    }
    return true;
}

std::unique_ptr<ReportPdfFile> ReportPdfFile::create(const QString& path, const DataStore* store,
                                                     MessageService& messages, const QPageLayout& layout,
                                                     int resolution) {
    if (!acceptable(path, store, messages)) {
        return {};
    }
    std::unique_ptr<ReportPdfFile> pdf(new ReportPdfFile(path, messages));
    auto refuse = [&](const QString& why) {
        messages.show(storeMessages::fileAccessTitle(), storeMessages::cannotOpen(path, why));
        return std::unique_ptr<ReportPdfFile>();
    };
    pdf->m_file.setFileName(path);
    if (!pdf->m_file.open(QIODevice::WriteOnly | QIODevice::Truncate,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return refuse(pdf->m_file.errorString());
    }
    pdf->m_opened = true;
    // A file that was there keeps its old mode on opening: it holds passwords now.
    ::fchmod(pdf->m_file.handle(), S_IRUSR | S_IWUSR);
    pdf->m_writer = std::make_unique<QPdfWriter>(&pdf->m_file);
    pdf->m_writer->setResolution(resolution);
    pdf->m_writer->setPageLayout(layout);
    pdf->m_writer->setCreator(QStringLiteral("Zendrel"));
    pdf->m_pages = std::make_unique<DevicePages>(*pdf->m_writer);
    return pdf;
}

ReportPdfFile::~ReportPdfFile() {
    if (!m_done) {
        discard();
    }
}

void ReportPdfFile::failed(const QString& why) {
    discard();
    m_messages.show(storeMessages::fileAccessTitle(), storeMessages::cannotWrite(m_path, why));
}

bool ReportPdfFile::finish() {
    if (m_done) {
        return false;
    }
    const bool painted = m_pages->finish();
    m_writer.reset();
    if (!painted || m_file.error() != QFileDevice::NoError || !m_file.flush() || ::fsync(m_file.handle()) != 0) {
        const QString why = m_file.error() != QFileDevice::NoError ? m_file.errorString()
                                                                   : QString::fromLocal8Bit(std::strerror(errno));
        failed(why);
        return false;
    }
    m_file.close();
    if (m_file.error() != QFileDevice::NoError) {
        failed(m_file.errorString());
        return false;
    }
    m_done = true;
    return true;
}

void ReportPdfFile::discard() {
    m_done = true;
    m_pages.reset();
    m_writer.reset();
    if (m_file.isOpen()) {
        m_file.close();
    }
    // Only what this wrote goes, overwritten first (it held passwords): a file refused before it was opened
    // stays as it is.
    if (std::exchange(m_opened, false) && isRegularFile(m_path)) {
        wipeAndRemove(m_path);
    }
}

std::optional<int> printReportToPdf(ReportOperations::Pass& pass, const QString& path, const DataStore& store,
                                    MessageService& messages, const ReportStrings& strings, const QPageLayout& layout) {
    if (!pass.begin()) {
        if (!pass.stopped()) {
            ReportOperations::showNothing(messages, strings, false);
        }
        return std::nullopt;
    }
    auto pdf = ReportPdfFile::create(path, &store, messages, layout);
    if (!pdf) {
        return std::nullopt;
    }
    ReportPainter painter(pass.layout(), pdf->device(), pdf->output());
    while (pass.slice(painter, ReportOperations::kEntriesPerTick * 8)) {
    }
    if (!pass.completed()) {
        pdf->discard();
        return std::nullopt;
    }
    painter.finish();
    if (!pdf->finish()) {
        return std::nullopt;
    }
    return pdf->output().pages();
}

} // namespace zendrel
