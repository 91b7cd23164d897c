#include <QCoreApplication>

#include "cli/Cli.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    return velmora::RunCli(QCoreApplication::arguments());
}
