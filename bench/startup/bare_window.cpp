// The yardstick for the console's start-up: a bare Qt window of the same
// size with nine empty tabs, nothing else.
#include <QApplication>
#include <QTabWidget>

#include "widgets/StartupProbe.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTabWidget window;
    window.setFixedSize(785, 449);
    for (int tab = 1; tab <= 9; ++tab)
        window.addTab(new QWidget, QStringLiteral("Tab %1").arg(tab));
    ktx::quitAfterFirstPaintWhenProbed(&window);
    window.show();
    return app.exec();
}
