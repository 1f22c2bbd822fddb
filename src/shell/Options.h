#pragma once

#include "framework/WindowPlacement.h"
#include "operations/OptionsOperations.h"

#include <QColor>
#include <QDialog>
#include <QFont>

class QCheckBox;
class QComboBox;
class QFontDialog;
class QLabel;

namespace zendrel {

class StoredValueSpinBox;
class WindowPositions;

// "Select Font...": typeface, size, style and effects, and the colour, in one dialog.
class SelectReportFont : public QDialog {
    Q_OBJECT

public:
    SelectReportFont(const QFont& font, const QColor& colour, QWidget* parent = nullptr);

    QFont chosenFont() const;
    QColor chosenColour() const;
    // The colours offered, with their names.
    static const QList<QPair<QString, QColor>>& colours();

private:
    QFontDialog* m_fonts;
    QComboBox* m_colour;
};

// "Zendrel Options": the program-wide settings on four tabs. Opening reads them (with the corrections
// written back); "&Ok" writes them and refreshes the program's copies; "Cancel" writes nothing.
class Options : public PlacedDialog {
    Q_OBJECT

public:
    Options(OptionsOperations& operations, Settings& program, WindowPositions* positions, QWidget* parent = nullptr);

    // "Select Report Font": the font dialog; an accepted choice shows in "Sample Text" only.
    void selectReportFont();
    QLabel* sample() const { return m_sample; }

    // The report font that the four texts describe, over `base`; a value that is blank or does not read
    // (or a typeface this system does not have) leaves that part of `base`. `colour` likewise.
    static QFont fontOf(const ReportFont::Texts& texts, const QFont& base, QColor* colour = nullptr);

    void accept() override;

private:
    void collect();
    void showSample();

    OptionsOperations& m_ops;
    Settings& m_program;
    OptionsValues m_values;
    QCheckBox* m_skip;
    QCheckBox* m_hideClipboard;
    StoredValueSpinBox* m_clearSeconds;
    StoredValueSpinBox* m_inactivity;
    StoredValueSpinBox* m_interval;
    StoredValueSpinBox* m_groupSize;
    QCheckBox* m_monitorActive;
    QComboBox* m_dateFormat;
    QLabel* m_sample;
};

} // namespace zendrel
