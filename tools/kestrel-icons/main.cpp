// Paints the icon set of the program and writes it as PNG files into resources/<folder>/.
// The files are committed; run this only after changing a drawing.

#include "contactsheet.h"
#include "icons.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // Text on the contact sheet needs a platform plugin, but never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("kestrel-icons"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Paints the Kestrelview icons into <output>/<folder>/*.png."));
    parser.addHelpOption();
    const QCommandLineOption sheetOption(QStringLiteral("contact-sheet"),
                                         QStringLiteral("Also write one image showing every icon."),
                                         QStringLiteral("FILE.png"));
    parser.addOption(sheetOption);
    parser.addPositionalArgument(QStringLiteral("output"),
                                 QStringLiteral("The resources folder that receives the icon folders."));
    parser.process(app);

    QTextStream err(stderr);
    if (parser.positionalArguments().size() != 1) {
        err << "kestrel-icons: give exactly one output folder\n";
        return 2;
    }

    const QDir output(parser.positionalArguments().constFirst());
    int written = 0;
    for (const IconSpec &spec : iconTable()) {
        if (!output.mkpath(spec.folder)) {
            err << "kestrel-icons: cannot create " << output.filePath(spec.folder) << '\n';
            return 1;
        }
        const QString path =
            output.filePath(spec.folder + QLatin1Char('/') + spec.name + QStringLiteral(".png"));
        if (!renderIcon(spec).save(path, "PNG")) {
            err << "kestrel-icons: cannot write " << path << '\n';
            return 1;
        }
        ++written;
    }

    // The program's icon at the sizes desktops and software centres ask for; the
    // package installs them into the icon theme, the program itself never loads them.
    const QString desktop = QStringLiteral("desktop");
    if (!output.mkpath(desktop)) {
        err << "kestrel-icons: cannot create " << output.filePath(desktop) << '\n';
        return 1;
    }
    for (const int factor : {2, 4, 8}) {
        const IconSpec &application = applicationIcon();
        const QString path = output.filePath(
            QStringLiteral("%1/kestrelview_%2.png").arg(desktop).arg(application.size * factor));
        if (!renderIcon(application, factor).save(path, "PNG")) {
            err << "kestrel-icons: cannot write " << path << '\n';
            return 1;
        }
        ++written;
    }

    if (parser.isSet(sheetOption)) {
        const QString path = parser.value(sheetOption);
        if (!contactSheet(iconTable()).save(path, "PNG")) {
            err << "kestrel-icons: cannot write " << path << '\n';
            return 1;
        }
    }

    QTextStream(stdout) << "kestrel-icons: " << written << " icons written to " << output.absolutePath()
                        << '\n';
    return 0;
}
