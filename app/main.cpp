#include <QApplication>
#include <cstdio>

#include "app/replacing_file.h"
#include "app/zyr_app.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    removeTemporariesOnSignals();
    // QSettings keeps what is remembered between runs in ~/.config/Zyr/Zyr.conf.
    QApplication::setOrganizationName(QStringLiteral("Zyr"));
    QApplication::setApplicationName(QStringLiteral("Zyr"));
    // Qt has taken its own options (-platform, -style, ...) out already.
    QStringList args = QApplication::arguments().mid(1);
    // "--open FILE", as the desktop entry passes it, is the same as a plain
    // file name; it also takes a name that begins with a dash.
    if (args.size() == 2 && args.front() == QLatin1String("--open")) {
        args.removeFirst();
    } else if (args.size() > 1 || (args.size() == 1 && args.front().startsWith(QLatin1Char('-')))) {
        std::fputs("usage: zyr [galaxy-file]\n       zyr --open galaxy-file.zyr\n", stderr);
        return 2;
    }
    CZyrApp app(args);
    if (!app.InitInstance()) return 1;
    return app.Run();
}
