#pragma once

#include <QAbstractSpinBox>

#include <cstdint>

namespace zendrel {

// A spin box for a stored setting: it shows the value as stored even where it lies outside the range
// that the box offers (a value written by an older release or by zendrel-cli), and gives it back
// unchanged unless the user changes it. Stepping from such a value moves it to the nearest end of the
// range; what is typed must lie within the range. QSpinBox would clamp the value silently on setting it.
class StoredValueSpinBox : public QAbstractSpinBox {
    Q_OBJECT
    Q_PROPERTY(qint64 value READ value WRITE setValue NOTIFY valueChanged USER true)

public:
    StoredValueSpinBox(int64_t minimum, int64_t maximum, QWidget* parent = nullptr);

    int64_t value() const { return m_value; }
    void setValue(int64_t value);
    int64_t minimum() const { return m_minimum; }
    int64_t maximum() const { return m_maximum; }

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void valueChanged(qint64 value);

protected:
    StepEnabled stepEnabled() const override;

private:
    void edited(const QString& text);

    int64_t m_minimum;
    int64_t m_maximum;
    int64_t m_value;
};

} // namespace zendrel
