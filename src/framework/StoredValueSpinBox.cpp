#include "framework/StoredValueSpinBox.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>

namespace zendrel {

StoredValueSpinBox::StoredValueSpinBox(int64_t minimum, int64_t maximum, QWidget* parent)
    : QAbstractSpinBox(parent), m_minimum(minimum), m_maximum(std::max(minimum, maximum)), m_value(minimum) {
    lineEdit()->setText(QString::number(m_value));
    connect(lineEdit(), &QLineEdit::textEdited, this, &StoredValueSpinBox::edited);
    // Text left half typed goes back to the value it stands for.
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] {
        if (lineEdit()->text().trimmed() != QString::number(m_value)) {
            lineEdit()->setText(QString::number(m_value));
        }
    });
}

void StoredValueSpinBox::setValue(int64_t value) {
    const bool changed = value != m_value;
    m_value = value;
    if (lineEdit()->text() != QString::number(value)) {
        lineEdit()->setText(QString::number(value));
    }
    if (changed) {
        Q_EMIT valueChanged(value);
    }
}

void StoredValueSpinBox::stepBy(int steps) {
    if (steps == 0) {
        return;
    }
    int64_t next;
    if (m_value < m_minimum) {
        next = m_minimum;
    } else if (m_value > m_maximum) {
        next = m_maximum;
    } else {
        next = std::clamp<int64_t>(m_value + steps, m_minimum, m_maximum);
    }
    setValue(next);
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled StoredValueSpinBox::stepEnabled() const {
    if (isReadOnly()) {
        return StepNone;
    }
    StepEnabled e = StepNone;
    if (m_value < m_maximum) {
        e |= StepUpEnabled;
    }
    if (m_value > m_minimum) {
        e |= StepDownEnabled;
    }
    // Out of the range, either step brings it in.
    if (m_value < m_minimum || m_value > m_maximum) {
        e = StepUpEnabled | StepDownEnabled;
    }
    return e;
}

QValidator::State StoredValueSpinBox::validate(QString& input, int&) const {
    const QString t = input.trimmed();
    if (t == QString::number(m_value)) {
        return QValidator::Acceptable;  // the value as it stands, in the range or not
    }
    if (t.isEmpty() || (t == QLatin1String("-") && m_minimum < 0)) {
        return QValidator::Intermediate;
    }
    bool ok = false;
    const qlonglong n = t.toLongLong(&ok);
    if (!ok || t.startsWith(QLatin1Char('+'))) {
        return QValidator::Invalid;
    }
    if (n >= m_minimum && n <= m_maximum) {
        return QValidator::Acceptable;
    }
    // Fewer digits than the smallest value needs may still become it.
    if (n >= 0 && n < m_minimum && n <= m_maximum) {
        return QValidator::Intermediate;
    }
    return QValidator::Invalid;
}

void StoredValueSpinBox::fixup(QString& input) const {
    input = QString::number(m_value);
}

void StoredValueSpinBox::edited(const QString& text) {
    QString t = text;
    int pos = 0;
    if (validate(t, pos) == QValidator::Acceptable) {
        const int64_t n = t.trimmed().toLongLong();
        if (n != m_value) {
            m_value = n;
            Q_EMIT valueChanged(n);
        }
    }
}

QSize StoredValueSpinBox::sizeHint() const {
    ensurePolished();
    const QFontMetrics fm(font());
    int width = 0;
    for (int64_t v : {m_minimum, m_maximum, m_value}) {
        width = std::max(width, fm.horizontalAdvance(QString::number(v) + QLatin1Char(' ')));
    }
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QSize content(width + 4, std::max(fm.height(), lineEdit()->sizeHint().height()));
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
}

QSize StoredValueSpinBox::minimumSizeHint() const {
    return sizeHint();
}

} // namespace zendrel
