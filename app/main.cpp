#include <QApplication>
#include <cstdio>

#include "app/zyr_app.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zyr"));
    // Qt has taken its own options (-platform, -style, ...) out already.
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() > 1 || (args.size() == 1 && args.front().startsWith(QLatin1Char('-')))) {
        std::fputs("usage: zyr [galaxy-file]\n", stderr);
        return 2;
    }
    CZyrApp app(args);
    if (!app.InitInstance()) return 1;
    return app.Run();
}
