#include "session/ReportFont.h"

#include <algorithm>

namespace zendrel {

namespace {

// A whole number in decimal, blanks around it allowed; nothing else.
std::optional<int64_t> wholeNumber(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 10) {
        return std::nullopt;
    }
    for (const QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
    }
    return t.toLongLong();
}

} // namespace

ReportFont ReportFont::read(const Texts& texts) {
    ReportFont f;
    if (const QString type = texts.type.trimmed(); !type.isEmpty()) {
        f.typeface = type.left(kTextWidth);
    }
    if (const auto size = wholeNumber(texts.size); size && *size >= 1 && *size <= 400) {
        f.pointSize = static_cast<int>(*size);
    }
    if (const auto colour = wholeNumber(texts.colour); colour && *colour <= 0xFFFFFF) {
        f.rgb = static_cast<uint32_t>(*colour);
    }
    if (const auto style = wholeNumber(texts.style)) {
        const int64_t weight = *style % kItalic;
        const int64_t flags = *style - weight;
        if (weight >= 1 && weight <= 1000 && flags <= kItalic + kUnderline + kStrikeOut) {
            f.style = Style{static_cast<int>(weight), (flags & kItalic) != 0, (flags & kUnderline) != 0,
                            (flags & kStrikeOut) != 0};
        }
    }
    return f;
}

ReportFont::Texts ReportFont::texts(const QString& typeface, int pointSize, uint32_t rgb, const Style& style) {
    const int flags = (style.italic ? kItalic : 0) + (style.underline ? kUnderline : 0) +
                      (style.strikeOut ? kStrikeOut : 0);
    return Texts{typeface.trimmed().left(kTextWidth), QString::number(std::clamp(pointSize, 1, 400)),
                 QString::number(rgb & 0xFFFFFF), QString::number(std::clamp(style.weight, 1, 1000) + flags)};
}

} // namespace zendrel
