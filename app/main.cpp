#include <QAccessible>
#include <QApplication>

#include "app/searcher.h"
#include "resources/resources.h"
#include "ui/buttonaccess.h"

int main(int argc, char **argv)
{
    // On a high-DPI screen (or under QT_SCALE_FACTOR) the whole window scales, by
    // fractions too, and the images come from their @2x drawings.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    // The window is made without OpenGL, whose driver costs tens of megabytes
    // and may never be needed: the first stream preview brings it in.
    QApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    QApplication app(argc, argv);
    initResources();
    QAccessible::installFactory(ButtonAccess::factory);
    auto *window = new Searcher;
    window->show();
    const int code = app.exec();
    delete window;
    return code;
}
