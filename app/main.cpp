#include <QApplication>
#include <cstdio>

#include "app/zyr_app.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zyr"));
    // Qt has taken its own options (-platform, -style, ...) out already.
    QStringList args = QApplication::arguments().mid(1);
    // "--open FILE" loads the galaxy through the same path as File > Open (the
    // desktop entry uses it); a plain file name only opens the galaxy window as
    // that file's document and keeps the generated galaxy.
    QString openPath;
    if (args.size() == 2 && args.front() == QLatin1String("--open")) {
        openPath = args.back();
        args.clear();
    }
    if (args.size() > 1 || (args.size() == 1 && args.front().startsWith(QLatin1Char('-')))) {
        std::fputs("usage: zyr [galaxy-file]\n       zyr --open galaxy-file.zyr\n", stderr);
        return 2;
    }
    CZyrApp app(args);
    if (!app.InitInstance()) return 1;
    if (!openPath.isEmpty()) app.openGalaxyFile(openPath);
    return app.Run();
}
