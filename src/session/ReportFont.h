#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace zendrel {

// The report font as the settings "FontType", "FontSize", "FontColour" and "FontStyle" hold it, each as
// text of up to 32 characters; a blank text means "not set":
//   FontType    the typeface's family name ("DejaVu Sans").
//   FontSize    the size in points, a whole number from 1 to 400 ("12").
//   FontColour  red * 65536 + green * 256 + blue, from 0 to 16777215 ("16711680" is red, "0" black).
//   FontStyle   the weight, from 1 to 1000 (400 regular, 700 bold), plus 4096 for italic, 8192 for
//               underlined and 16384 for struck out ("4796" is bold italic).
// A text that is none of these is ignored where the font is applied, and stays stored as it is.
struct ReportFont {
    struct Style {
        int weight = 400;
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
        bool operator==(const Style&) const = default;
    };

    std::optional<QString> typeface;
    std::optional<int> pointSize;
    std::optional<uint32_t> rgb;
    std::optional<Style> style;

    struct Texts {
        QString type;
        QString size;
        QString colour;
        QString style;
        bool operator==(const Texts&) const = default;
    };

    static constexpr int kTextWidth = 32;
    static constexpr int kItalic = 4096;
    static constexpr int kUnderline = 8192;
    static constexpr int kStrikeOut = 16384;

    // The values that the four texts give; each one that is blank or does not read is left unset.
    static ReportFont read(const Texts& texts);
    // The four texts of a complete choice.
    static Texts texts(const QString& typeface, int pointSize, uint32_t rgb, const Style& style);
};

} // namespace zendrel
