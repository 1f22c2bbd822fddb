#include "base/StepLocator.h"

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

struct LocateCase {
    char16_t typed;
    int expected;
};

// Services as the list shows them, in the order of the case-folding key ("É" folds to "é", after "z").
const QStringList kServices = {QStringLiteral(""),         QStringLiteral("amazon"), QStringLiteral("Bank"),
                               QStringLiteral("bank two"), QStringLiteral("mail"),   QStringLiteral("Zebra"),
                               QStringLiteral("Élan")};

class StepLocatorTest : public ::testing::TestWithParam<LocateCase> {};

TEST_P(StepLocatorTest, SelectsTheFirstRowAtOrAfterTheTypedCharacter) {
    EXPECT_EQ(stepLocate(kServices, QChar(GetParam().typed)), GetParam().expected)
        << QString(QChar(GetParam().typed)).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Characters, StepLocatorTest,
                         ::testing::Values(
                             // Either letter case finds the same row.
                             LocateCase{u'b', 2}, LocateCase{u'B', 2}, LocateCase{u'A', 1},
                             // No row begins with the letter: the next one after it.
                             LocateCase{u'c', 4}, LocateCase{u'N', 5}, LocateCase{u'z', 5},
                             // Characters before every letter find the first non-blank row.
                             LocateCase{u'0', 1}, LocateCase{u' ', 1},
                             // Letters beyond ASCII fold as well; nothing sorts after "ÿ" (from "Ÿ").
                             LocateCase{u'é', 6}, LocateCase{u'É', 6}, LocateCase{u'Ÿ', -1}));

TEST(StepLocator, AnEmptyListHasNoRow) {
    EXPECT_EQ(stepLocate({}, QChar(u'a')), -1);
}

} // namespace
