#include "operations/OptionsOperations.h"

#include "base/DatePicture.h"

namespace zendrel {

void OptionValue::setFlag(bool on) {
    if (on != (read != 0)) {
        value = on ? 1 : 0;
    } else {
        value = read;
    }
}

QString OptionValue::textToWrite() const {
    if (!changed() && (readFailed || !stored.trimmed().isEmpty())) {
        return stored;
    }
    return QString::number(value);
}

OptionValue OptionsOperations::readValue(const char* name) {
    OptionValue v;
    v.stored = m_config.read(QString::fromLatin1(name), &v.readFailed);
    v.read = v.value = m_config.readNumber(QString::fromLatin1(name));
    if (v.readFailed) {
        v.read = v.value = 0;
    }
    return v;
}

void OptionsOperations::writeValue(const char* name, const OptionValue& v) {
    // A value the store could not read and the user left alone is not written over.
    if (v.readFailed && !v.changed()) {
        return;
    }
    m_config.write(QString::fromLatin1(name), v.textToWrite());
}

OptionsValues OptionsOperations::open(const Settings& program) {
    OptionsValues v;
    v.font = v.openedFont = ReportFont::Texts{program.fontType, program.fontSize, program.fontColour, program.fontStyle};
    v.dateCode = program.dateFormat;
    v.dateChoice = dateChoiceText(program.dateFormat);
    m_store.safeOpen(tables::configuration());

    v.skip = readValue("ZD_Skip");
    v.clearSeconds = readValue("ZD_CI");
    v.inactivityMinutes = readValue("ZD_IT");
    v.hideClipboard = readValue("ZD_HC");
    v.sendInterval = readValue("ZD_GD");
    if (!v.sendInterval.readFailed && v.sendInterval.read < 20) {
        m_config.write(QStringLiteral("ZD_GD"), int64_t{20});
        v.sendInterval = readValue("ZD_GD");
        if (v.sendInterval.read < 20) {  // not written: shown as it is used
            v.sendInterval.value = 20;
        }
    }
    v.groupSize = readValue("ZD_BS");
    if (!v.groupSize.readFailed && v.groupSize.read <= 0) {
        m_config.write(QStringLiteral("ZD_BS"), int64_t{7});
        m_config.write(QStringLiteral("ZD_MA"), int64_t{1});
        v.groupSize = readValue("ZD_BS");
        if (v.groupSize.read <= 0) {
            v.groupSize.value = 7;
        }
    }
    v.monitorActive = readValue("ZD_MA");
    return v;
}

void OptionsOperations::accept(const OptionsValues& v, Settings& program) {
    writeValue("ZD_Skip", v.skip);
    writeValue("ZD_CI", v.clearSeconds);
    writeValue("ZD_IT", v.inactivityMinutes);
    writeValue("ZD_HC", v.hideClipboard);
    writeValue("ZD_GD", v.sendInterval);
    writeValue("ZD_BS", v.groupSize);
    writeValue("ZD_MA", v.monitorActive);
    program.version = QString::fromLatin1(kProgramVersion);
    m_config.write(QStringLiteral("ZD_Version"), program.version);

    readWindowSettings(m_config, program);
    program.sendInterval = sendIntervalFrom20(m_config.readNumber(QStringLiteral("ZD_GD")));
    program.groupSize = sendGroupSize(m_config.readNumber(QStringLiteral("ZD_BS")));
    program.monitorActive = m_config.readNumber(QStringLiteral("ZD_MA"));

    // The date code and the font are the program's copies; written only where the user changed them, so
    // that a longer stored text, or one written meanwhile by zendrel-cli, is not cut or undone.
    const QString code = dateCodeOf(v.dateChoice, v.dateCode);
    if (code.trimmed().compare(v.dateCode.trimmed(), Qt::CaseInsensitive) != 0) {
        m_config.write(QStringLiteral("DateFormat"), code);
        program.dateFormat = code.left(4);
    }
    if (v.font != v.openedFont) {
        m_config.write(QStringLiteral("FontColour"), v.font.colour);
        m_config.write(QStringLiteral("FontStyle"), v.font.style);
        m_config.write(QStringLiteral("FontType"), v.font.type);
        m_config.write(QStringLiteral("FontSize"), v.font.size);
    }
    readReportFont(m_config, program);
}

QString OptionsOperations::dateChoiceText(const QString& code) {
    const QString c = code.trimmed().toLower();
    for (const auto& [text, choiceCode] : dateFormatChoices()) {
        if (choiceCode == c) {
            return text;
        }
    }
    return code;
}

QString OptionsOperations::dateCodeOf(const QString& text, const QString& current) {
    for (const auto& [choiceText, code] : dateFormatChoices()) {
        if (choiceText == text) {
            return code;
        }
    }
    return current;
}

std::vector<std::pair<QString, QString>> OptionsOperations::allSettings() {
    std::vector<std::pair<QString, QString>> out;
    for (const ConfigRecord& r : m_config.all()) {
        out.emplace_back(r.dataType, r.dataValue);
    }
    return out;
}

} // namespace zendrel
