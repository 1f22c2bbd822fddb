// Message boxes as the user sees them: the icon of each kind of message and room for the title.
#include "framework/QtMessageService.h"

#include "support/WindowHelpers.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QMessageBox>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

struct IconCase {
    Message message;
    QMessageBox::Icon icon;
};

void PrintTo(const IconCase& c, std::ostream* os) {
    *os << '"' << c.message.title.toStdString() << '"';
}

class MessageIconTest : public ::testing::TestWithParam<IconCase> {};

TEST_P(MessageIconTest, EachKindOfMessageHasItsIconAndRoomForItsTitle) {
    const Message m = GetParam().message;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int width = 0;
    test::whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        width = box->width();
        box->buttons().last()->click();
    });
    QtMessageService().show(m);
    EXPECT_EQ(icon, GetParam().icon) << m.title.toStdString();
    // The window manager puts its own icon and buttons beside the title.
    const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    EXPECT_GE(width, title.horizontalAdvance(m.title) + 100) << m.title.toStdString();
}

Message message(const char* title, Buttons buttons = Buttons::Ok, std::optional<MessageKind> kind = std::nullopt) {
    return Message{QString::fromLatin1(title), QStringLiteral("No."), buttons, Answer::Ok, false, kind};
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MessageIconTest,
    ::testing::Values(
        IconCase{message("Invalid File", Buttons::Ok, MessageKind::Fatal), QMessageBox::Critical},
        IconCase{message("Error"), QMessageBox::Critical}, IconCase{message("Error!"), QMessageBox::Critical},
        IconCase{message("Critical Error Message"), QMessageBox::Critical},
        IconCase{message("Referential Integrity Delete Error"), QMessageBox::Critical},
        IconCase{message("Launch URL", Buttons::Ok, MessageKind::Error), QMessageBox::Critical},
        IconCase{message("Warning"), QMessageBox::Warning}, IconCase{message("Access Denied"), QMessageBox::Warning},
        IconCase{message("Range Error"), QMessageBox::Warning},
        IconCase{message("Duplicate Key Error"), QMessageBox::Warning},
        IconCase{message("Cannot Send"), QMessageBox::Warning},
        IconCase{message("Confirm Delete", Buttons::YesNo), QMessageBox::Question},
        IconCase{message("Invalid Key", Buttons::YesNo), QMessageBox::Question},
        IconCase{message("Complete"), QMessageBox::Information}, IconCase{message("Tip"), QMessageBox::Information},
        IconCase{message("Information Required"), QMessageBox::Information}));

} // namespace
