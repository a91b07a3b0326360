// Build-time tool: draws the application icons into OUTDIR/<size>/vorlix-agents.png and OUTDIR/vorlix-agents.svg.
#include "sprites/AppIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 2) {
        std::fputs("usage: vorlix-render-icons OUTDIR SIZE...\n", stderr);
        return 2;
    }
    const QString outDir = args.first();
    for (const QString& text : args.mid(1)) {
        bool ok = false;
        const int size = text.toInt(&ok);
        const QString folder = outDir + QLatin1Char('/') + text;
        if (!ok || size < 16 || size > 1024 || !QDir().mkpath(folder) ||
            !AppIcon::render(size).save(folder + QStringLiteral("/vorlix-agents.png"), "PNG")) {
            std::fprintf(stderr, "vorlix-render-icons: cannot draw the %s icon in %s\n", qPrintable(text),
                         qPrintable(folder));
            return 1;
        }
    }
    QSaveFile svg(outDir + QStringLiteral("/vorlix-agents.svg"));
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) || svg.write(AppIcon::svg()) < 0 || !svg.commit()) {
        std::fprintf(stderr, "vorlix-render-icons: cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    return 0;
}
