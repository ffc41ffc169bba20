// The least a Qt WebEngine program does to show a page: one window, one view, the page from a
// file. Reports as the viewer probe does, so that the two compare start-up, memory and navigation.
#include "bench/viewer/LoadRounds.h"

#include <QApplication>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::cerr << "usage: floor_probe PAGE_FILE PAGE_FILE_A PAGE_FILE_B ROUNDS WIDTH HEIGHT\n";
        return 2;
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    const QUrl home = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1]));
    const QUrl pages[2] = { QUrl::fromLocalFile(QString::fromLocal8Bit(argv[2])),
        QUrl::fromLocalFile(QString::fromLocal8Bit(argv[3])) };
    const int rounds = std::atoi(argv[4]);

    QWebEngineView view;
    MeasureLoads(*view.page(), rounds, [&](int round) { view.load(pages[round % 2]); });
    // The size the viewer's window has for the same book, so that both lay out as much.
    view.resize(std::atoi(argv[5]), std::atoi(argv[6]));
    view.show();
    view.load(home);
    return QApplication::exec();
}
