// A small Qt window for the end-to-end tests and the benchmark: a title, a label, a field that prints what
// was typed into it when Enter is pressed and then ends the program, and as many extra labels as asked.
//   label_window TITLE LABEL [EXTRA_LABELS]
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: label_window TITLE LABEL [EXTRA_LABELS]\n");
        return 2;
    }
    QWidget window;
    window.setWindowTitle(args.at(1));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(args.at(2), &window));
    auto* field = new QLineEdit(&window);
    field->setAccessibleName(QStringLiteral("Typed"));
    layout->addWidget(field);
    const int extra = args.size() > 3 ? args.at(3).toInt() : 0;
    if (extra > 0) {
        auto* rows = new QWidget;
        auto* rowsLayout = new QVBoxLayout(rows);
        for (int i = 1; i <= extra; ++i) {
            rowsLayout->addWidget(new QLabel(QStringLiteral("Row %1").arg(i), rows));
        }
        auto* scroll = new QScrollArea(&window);
        scroll->setWidget(rows);
        layout->addWidget(scroll);
    }
    QObject::connect(field, &QLineEdit::returnPressed, &app, [field] {
        std::printf("%s\n", field->text().toUtf8().constData());
        std::fflush(stdout);
        QApplication::quit();
    });
    window.resize(360, 240);
    window.show();
    field->setFocus();
    return app.exec();
}
