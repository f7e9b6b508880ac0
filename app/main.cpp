#include <QApplication>

#include "app/searcher.h"
#include "resources/resources.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    initResources();
    auto *window = new Searcher;
    window->show();
    const int code = app.exec();
    delete window;
    return code;
}
