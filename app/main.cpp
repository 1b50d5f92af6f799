#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/zyr_app.h"
#include "io/replacing_file.h"
#include "physics/workers.h"

namespace {

constexpr const char* kUsage = "usage: zyr [galaxy-file]\n       zyr --open galaxy-file.zyr\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so that they need no display.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0)) {
        const bool help = argv[1][2] == 'h';
        if (help)
            std::printf("%sStarts the Zyr galaxy simulator; a galaxy file given is loaded as File > Open does.\n",
                        kUsage);
        else
            std::printf("zyr %s\n", ZYR_VERSION);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    // Said on the terminal the program was started from, like Qt's own notes.
    if (const std::string warning = workerThreadsWarning(); !warning.empty())
        std::fprintf(stderr, "zyr: %s\n", warning.c_str());
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
        std::fputs(kUsage, stderr);
        return 2;
    }
    CZyrApp app(args);
    if (!app.InitInstance()) return 1;
    return app.Run();
}
