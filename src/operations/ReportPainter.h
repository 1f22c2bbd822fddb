#pragma once

#include "operations/ReportOperations.h"

#include <QColor>
#include <QFile>
#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPointF>
#include <QRawFont>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class QPagedPaintDevice;

namespace zendrel {

// The report font's four texts over a base font: typeface (when the system has it), size and style, each only
// when its own text reads; the colour into `colour` likewise. Shared by the reports and the options window's
// "Sample Text".
QFont reportFontOf(const ReportFont::Texts& texts, const QFont& base, QColor* colour = nullptr);

// The page layout a report gets where no printer chose one: A4 (Letter where the system measures in inches)
// with 15 mm margins.
QPageLayout defaultReportPageLayout();

// Text whose every character is one glyph of the font, with no shaping to do (Latin letters, digits and
// signs): measured and drawn from a table of glyphs and advances, which is most of a report's text and many
// times faster than shaping it. Any other text is left to the text engine.
class SimpleGlyphs {
public:
    static constexpr char16_t kLimit = 0x250; // up to the end of Latin Extended-B

    // For a font at the resolution of the device that pages are laid out for and painted on.
    SimpleGlyphs(const QFont& font, qreal dpi);
    // The text's width; negative when it is not simple text of this font.
    qreal width(QStringView s) const;
    // The widths of each character, for line breaking; false when the text is not simple.
    bool advances(QStringView s, std::vector<qreal>& out) const;
    // Draws simple text (the caller has measured it) with its baseline starting at `at`.
    void draw(QPainter& painter, const QPointF& at, QStringView s) const;

private:
    QRawFont m_raw;
    bool m_usable = false;
    bool m_underline = false;
    bool m_strikeOut = false;
    std::array<quint32, kLimit> m_glyph{};
    std::array<qreal, kLimit> m_advance{};
};

// The fonts and colours of one report's controls.
struct ReportStyle {
    enum Role : uint8_t { Heading, Caption, Detail, Footer, Roles };
    QFont fonts[Roles];
    QColor colours[Roles];
    std::shared_ptr<const SimpleGlyphs> glyphs[Roles]; // for the device the pages are made for

    // The report's own fonts, with the options' report font over every control but the master report's
    // heading, when its typeface is set; glyph tables for a device of `dpi` dots per inch.
    static ReportStyle of(const ReportLayout& layout, qreal dpi);
    // A text's width in a role's font on that device.
    qreal width(Role role, const QString& s, QPaintDevice& device) const;
};

// One page as the layout made it, in the pixels of the device it was laid out for: replayed onto that device,
// onto a preview of it, or as many times as copies are wanted. A preview keeps every page of a report, so a
// page is kept small: its texts one after the other in one string, and places in single precision (a
// thousandth of a pixel on any page).
struct ReportPage {
    struct Item {
        enum Kind : uint8_t { Text, Line, Box, CheckedBox };
        Kind kind;
        ReportStyle::Role role;
        uint32_t start = 0; // a text's place in the page's texts
        uint32_t length = 0;
        float x = 0, y = 0;   // a text's baseline start, a line's start, a box's corner
        float x2 = 0, y2 = 0; // a line's end, a box's size
        QPointF at() const { return {x, y}; }
        QPointF to() const { return {x2, y2}; }
    };
    std::vector<Item> items;
    QString text;
    std::shared_ptr<const ReportStyle> style;

    void addText(ReportStyle::Role role, const QPointF& at, QStringView s);
    void addShape(Item::Kind kind, ReportStyle::Role role, const QPointF& at, const QPointF& to);
    QStringView textOf(const Item& item) const { return QStringView(text).mid(item.start, item.length); }
    // Gives back what the page's lists hold beyond their contents, once it is complete.
    void squeeze();
    void paint(QPainter& painter) const;
    // The texts of the page in order, for tests and for checks.
    QStringList texts() const;
};

// Where finished pages go.
class PageOutput {
public:
    virtual ~PageOutput() = default;
    // False when the output failed: the report ends.
    virtual bool page(ReportPage&& page) = 0;
};

// The page list: pages kept for a preview or for copies the printer does not make.
class PageList final : public PageOutput {
public:
    bool page(ReportPage&& page) override {
        page.squeeze();
        pages.push_back(std::move(page));
        return true;
    }
    std::vector<ReportPage> pages;
};

// Pages straight onto a paged device (a printer, a PDF file), one after the other: nothing is kept.
class DevicePages final : public PageOutput {
public:
    explicit DevicePages(QPagedPaintDevice& device) : m_device(device) {}
    ~DevicePages() override;
    bool page(ReportPage&& page) override;
    // Paints a page (one not made for this device, such as a recorded one), the page list's way.
    bool paint(const ReportPage& page);
    // Ends the job: false when the device reported a failure.
    bool finish();
    int pages() const { return m_pages; }

private:
    QPagedPaintDevice& m_device;
    std::unique_ptr<QPainter> m_painter;
    int m_pages = 0;
    bool m_failed = false;
};

// The layout engine: bands into pages with heading, column header band and footer on each. Cells wrap within
// their columns and notes continue on the next page line by line, so nothing is ever cut.
class ReportPainter final : public ReportSink {
public:
    // `device` gives the page's size and the fonts' metrics; pages go to `output`.
    ReportPainter(const ReportLayout& layout, QPaintDevice& device, PageOutput& output);
    ~ReportPainter() override;

    bool detail(const ReportDetail& band) override;
    // Ends the last page; false when the output failed.
    bool finish();
    // Pages handed on so far, and whether one is being filled.
    int pages() const { return m_pageNumber - (m_open ? 1 : 0); }
    bool pageOpen() const { return m_open; }
    bool failed() const { return m_failed; }
    std::shared_ptr<const ReportStyle> style() const { return m_style; }

private:
    struct Metrics;
    void openPage();
    bool closePage();
    bool room(qreal height);
    void text(ReportStyle::Role role, qreal x, qreal baseline, const QString& s);
    QStringList wrap(const QString& s, ReportStyle::Role role, qreal width) const;
    bool listBand(const ReportDetail& band);
    bool masterBand(const ReportDetail& band);
    bool block(const QString& s, qreal indent);

    ReportLayout m_layout;
    QPaintDevice& m_device;
    PageOutput& m_output;
    std::shared_ptr<ReportStyle> m_style;
    std::unique_ptr<Metrics> m_m;
    ReportPage m_page;
    bool m_open = false;
    bool m_failed = false;
    bool m_pageHasDetail = false;
    int m_pageNumber = 0;
    qreal m_y = 0;
};

// A report written into a PDF file of the user's choice: created with mode 0600, since it holds passwords,
// never over one of the store's files or anything but a regular file. A write that fails is reported with the
// file's message and the half-written file removed.
class ReportPdfFile {
public:
    // Nothing when the file cannot be made (its message shown). `layout` and `resolution` as the printer's,
    // so that pages laid out for it print the same.
    static std::unique_ptr<ReportPdfFile> create(const QString& path, const DataStore* store, MessageService& messages,
                                                 const QPageLayout& layout = defaultReportPageLayout(),
                                                 int resolution = 1200);
    // Whether a path may take a report, checked before anything opens it: never one of the store's files
    // (opening and closing one would drop this program's locks on it), nothing but a regular file; false
    // after the message that says why.
    static bool acceptable(const QString& path, const DataStore* store, MessageService& messages);
    ~ReportPdfFile();

    QPdfWriter& device() { return *m_writer; }
    DevicePages& output() { return *m_pages; }
    // Ends the file: false (after its message, the file removed) when it could not be written whole.
    bool finish();
    // Drops what was written: the file is removed.
    void discard();

private:
    ReportPdfFile(const QString& path, MessageService& messages) : m_path(path), m_messages(messages) {}
    void failed(const QString& why);

    QString m_path;
    MessageService& m_messages;
    QFile m_file;
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<DevicePages> m_pages;
    bool m_done = false;
    bool m_opened = false; // the file at the path is the one this wrote: only that one is ever removed
};

// A whole report into a PDF file, without questions and without a window (the command line): the number of
// pages written; nothing after the message that says why not ("Nothing to Print." for a user without entries,
// the file's message, the store's), with no file left behind.
std::optional<int> printReportToPdf(ReportOperations::Pass& pass, const QString& path, const DataStore& store,
                                    MessageService& messages, const ReportStrings& strings,
                                    const QPageLayout& layout = defaultReportPageLayout());

} // namespace zendrel
