// Opens one address in a Qt WebEngine view (offscreen works) and prints, with the milliseconds
// since start, the page's text each time it changes, until stdin closes. bench/preview-reload.py
// drives it against `ebook-pack serve SRC_DIR --watch` to see open pages reload by themselves.
#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ReloadProbe URL\n");
        return 2;
    }
    QWebEngineView view;
    view.resize(800, 600);
    view.show();
    view.load(QUrl(QString::fromUtf8(argv[1])));
    QElapsedTimer clock;
    clock.start();
    QString last;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        view.page()->runJavaScript("document.body ? document.body.innerText : ''", [&](const QVariant& result) {
            const QString text = result.toString().simplified();
            if (text == last)
                return;
            last = text;
            std::printf("%lld %s\n", static_cast<long long>(clock.elapsed()), text.left(200).toUtf8().constData());
            std::fflush(stdout);
        });
    });
    poll.start(50);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            application.quit();
    });
    return application.exec();
}
