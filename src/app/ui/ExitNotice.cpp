#include "app/ui/ExitNotice.h"

#include <QMessageBox>
#include <QTimer>

namespace ktx {
namespace {

// A close asked for by a signal (logout, a closed terminal) must still end:
// nobody may be there to press the button.
constexpr int kNoticeTimeoutMs = 30000;

}  // namespace

void showExitNotice(QWidget* window, const std::string& text)
{
    if (text.empty())
        return;
    QMessageBox box(QMessageBox::Warning, window->windowTitle(), QString::fromStdString(text), QMessageBox::Ok,
                    window);
    box.setObjectName(QStringLiteral("exitNotice"));
    QTimer::singleShot(kNoticeTimeoutMs, &box, &QMessageBox::accept);
    box.exec();
}

}  // namespace ktx
