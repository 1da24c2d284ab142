// A button greyed while it has the focus: the focus waits on the window and
// comes back, instead of moving to the next control where a repeated key
// would press it.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "app/ui/FocusKeeper.h"

namespace ktx {
namespace {

struct FocusKeeperTest : ::testing::Test {
    QWidget window;
    QPushButton* first = new QPushButton(QStringLiteral("Включение GSM"), &window);
    QPushButton* next = new QPushButton(QStringLiteral("AT"), &window);
    QLineEdit* edit = new QLineEdit(&window);
    int nextPresses = 0;

    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(next);
        layout->addWidget(edit);
        window.setFocusPolicy(Qt::StrongFocus);
        new FocusKeeper(&window);
        QObject::connect(next, &QPushButton::clicked, [this] { ++nextPresses; });
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        first->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), first);
    }
};

TEST_F(FocusKeeperTest, AGreyedButtonsFocusWaitsOnTheWindowAndComesBack)
{
    first->setEnabled(false);
    EXPECT_EQ(QApplication::focusWidget(), &window);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(nextPresses, 0) << "the neighbour was pressed";
    first->setEnabled(true);
    EXPECT_EQ(QApplication::focusWidget(), first);
}

TEST_F(FocusKeeperTest, TheUsersOwnMoveMeanwhileStands)
{
    first->setEnabled(false);
    edit->setFocus();
    first->setEnabled(true);
    EXPECT_EQ(QApplication::focusWidget(), edit);
    // Greyed and back within one call (an action run at once).
    first->setFocus();
    first->setEnabled(false);
    first->setEnabled(true);
    EXPECT_EQ(QApplication::focusWidget(), first);
    // A button greyed without the focus changes nothing.
    next->setEnabled(false);
    next->setEnabled(true);
    EXPECT_EQ(QApplication::focusWidget(), first);
}

}  // namespace
}  // namespace ktx
