// Runs the program's real start-up on the front end given as the first argument, prints what
// the window looks like once it exists, then closes it the way an operator would.
#include "app/Startup.h"

#include <QTimer>
#include <QWindow>

#include <cstdio>

int main(int argc, char *argv[])
{
    const QUrl url = QUrl::fromUserInput(QString::fromLocal8Bit(argc > 1 ? argv[1] : ""));
    return runKorvessa(argc, argv, url, [](QObject *root) {
        auto *window = qobject_cast<QWindow *>(root);
        if (!window) {
            std::printf("root is not a window\n");
            std::fflush(stdout);
            return;
        }
        QTimer::singleShot(300, window, [window] {
            std::printf("title=%s size=%dx%d visible=%d\n", qPrintable(window->title()),
                        window->width(), window->height(), window->isVisible() ? 1 : 0);
            std::fflush(stdout);
            window->close();
        });
    });
}
