#pragma once
// A tab's control by its designer name, and a screenshot of a widget under
// KTX_SCREENSHOT_DIR when the run asks for them.
#include <QDir>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

namespace ktx::test {

template <class T>
T* control(QWidget& parent, const char* name)
{
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        ADD_FAILURE() << "no control " << name;
    return found;
}

inline void saveScreenshot(QWidget& widget, const char* name)
{
    const QByteArray dir = qgetenv("KTX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    EXPECT_TRUE(widget.grab().save(QString::fromLocal8Bit(dir) + "/" + name)) << name;
}

}  // namespace ktx::test
