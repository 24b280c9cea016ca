#include "app/WindowOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

namespace {

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

}  // namespace

WindowOptions ReadWindowOptions(int argc, char* argv[], const std::string& description) {
    // A plain application object is enough to read options; the window's comes later.
    QCoreApplication reader(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ZARN_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromStdString(description));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption engineering(
        QStringLiteral("engineering"),
        QStringLiteral("Show the engineering pages: flash, registers, I2C, parameters, status."));
    const QCommandLineOption firmwareDir(
        QStringLiteral("firmware-dir"),
        QStringLiteral("Look for the product's firmware file in <dir> when the current "
                       "directory has none."),
        QStringLiteral("dir"));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Record every control transfer into <file>, a pcap file that Wireshark "
                       "and tshark open."),
        QStringLiteral("file"));
    parser.addOption(engineering);
    parser.addOption(firmwareDir);
    parser.addOption(trace);
    parser.process(reader);

    WindowOptions options;
    options.Engineering = parser.isSet(engineering);
    options.Trace = parser.value(trace).toStdString();
    for (const QString& folder : parser.values(firmwareDir)) {
        options.FirmwareFolders.emplace_back(folder.toStdString());
    }
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/zarn-update/firmware"));
    options.FirmwareFolders.emplace_back(installed.toStdString());
    return options;
}

bool DisplayAvailable(const char* program) {
    if (Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY")) {
        return true;
    }
    std::fprintf(stderr,
                 "%s: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is "
                 "set); start it in a desktop session\n",
                 program);
    return false;
}
