#include "shell/ConversionWindow.h"

#include "framework/ProgressWindow.h"
#include "framework/WindowPlacement.h"
#include "operations/ConversionOperations.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zendrel {

namespace {

// The progress window without a way out: Escape and the close box do nothing, and there is no "Cancel".
class UpdatingFiles final : public ProgressWindow {
public:
    using ProgressWindow::ProgressWindow;
    void reject() override {}
};

} // namespace

void convertPreviousVersion(DataStore& store, MessageService& messages, WindowPositions* positions, QWidget* parent) {
    using Source = ConversionOperations::Source;
    ConversionOperations conversion(store, messages);
    for (const Source source : {Source::Users, Source::Entries}) {
        auto pass = conversion.pass(source);
        bool opened = false;
        UpdatingFiles window(
            [&pass, &opened](ProgressWindow& w) {
                // Opened once the window shows, so that it opens and closes even when there is nothing to do.
                if (!opened) {
                    opened = true;
                    if (!pass->open()) {
                        return false;
                    }
                }
                const bool more = pass->slice();
                w.setProgress(pass->percent(), 100);
                w.setLines(QStringLiteral("Upgrading Files"), pass->countLine());
                return more;
            },
            parent);
        window.setWindowTitle(QStringLiteral("Updating Files"));
        window.setAccessibleName(window.windowTitle());
        window.cancelButton()->hide();
        auto* version = new QLabel(QStringLiteral("Version 2.1"), &window);
        version->setAccessibleName(version->text());
        version->setAlignment(Qt::AlignCenter);
        if (auto* layout = qobject_cast<QVBoxLayout*>(window.layout())) {
            layout->insertWidget(0, version);
        }
        window.setLines(QStringLiteral("Upgrading Files"), pass->countLine());
        window.setProgress(0, 100);
        const QString procedure =
            source == Source::Users ? QStringLiteral("ConvertUsers") : QStringLiteral("ConvertPasswords");
        if (positions) {
            restorePlacement(&window, *positions, procedure);
        }
        window.run();
        if (positions) {
            savePlacement(&window, *positions, procedure);
        }
        pass->finish();
    }
}

} // namespace zendrel
