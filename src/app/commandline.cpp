#include "app/commandline.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#ifndef KESTREL_VERSION
#error "KESTREL_VERSION must name the program's version"
#endif

namespace {

enum class InformationRequest { None, Help, Version };

InformationRequest informationRequest(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            return InformationRequest::Help;
        if (argument == QLatin1String("-v") || argument == QLatin1String("--version"))
            return InformationRequest::Version;
    }
    return InformationRequest::None;
}

// Says what the manual page says.
QString helpText()
{
    return QStringLiteral("Usage: kestrelview [options] [FILE...]\n"
                          "Views the event traces that the nodes of a Corvos system record.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help     Displays this help and ends.\n"
                          "  -v, --version  Displays the version and ends.\n"
                          "\n"
                          "Arguments:\n"
                          "  FILE           Trace files (*.trace, *.trace2) to open, in the order given;\n"
                          "                 the files of one directory form a project. When Kestrelview\n"
                          "                 is already running, the first FILE goes to it instead.\n");
}

QString versionText()
{
    return QStringLiteral("kestrelview " KESTREL_VERSION "\n");
}

} // namespace

bool answerInformationRequest(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const InformationRequest request = informationRequest(arguments);
    if (request == InformationRequest::None)
        return false;
    QTextStream(stdout) << (request == InformationRequest::Help ? helpText() : versionText());
    return true;
}
