#include "app/Launcher.h"
#include "app/QuorvelAppDelegate.h"
#include "core/NavigationBar.h"
#include "platform/Window.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationName(QStringLiteral("Quorvel"));

    // One URL, file or path may follow the program's name.
    std::optional<QUrl> launchURL;
    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.size() > 1)
        std::fprintf(stderr, "quorvel: only the first of %lld arguments is used\n",
                     qlonglong(arguments.size()));
    if (!arguments.isEmpty()) {
        QString message;
        launchURL = Launcher::urlForArgument(arguments.first(), &message);
        if (!launchURL)
            std::fprintf(stderr, "quorvel: %s\n", qPrintable(message));
    }

    // A program that already runs takes the URL (or just comes forward) and this start ends.
    if (InstanceChannel::sendToRunningInstance(launchURL.value_or(QUrl())))
        return 0;

    if (QuorvelAppDelegate::checkProjectStore()) {
        // Nobody can answer an alert without a screen; elsewhere it stays until dismissed, which
        // closes its window and so ends the program.
        if (QGuiApplication::platformName() != QStringLiteral("offscreen"))
            QApplication::exec();
        return 1;
    }

    InstanceChannel channel;
    QString channelMessage;
    if (!channel.listen(&channelMessage))
        std::fprintf(stderr, "quorvel: later starts cannot hand over URLs: %s\n",
                     qPrintable(channelMessage));

    NavigationBar::installAsDefault();
    QuorvelAppDelegate delegate;
    QObject::connect(&channel, &InstanceChannel::urlReceived, &delegate, [&](const QUrl& url) {
        delegate.applicationDidReceiveURLFromAnotherStart(&application, url);
    });
    QObject::connect(&channel, &InstanceChannel::activationRequested, &delegate, [&] {
        delegate.window()->raise();
        delegate.window()->activateWindow();
    });

    std::optional<QVariantMap> options;
    if (launchURL)
        options = QVariantMap{{QuorvelAppDelegate::launchOptionsURLKey, *launchURL}};
    delegate.applicationDidFinishLaunchingWithOptions(&application, options);
    // As the tablet platform does, the launch URL is then handed to the URL handler too.
    if (launchURL)
        delegate.applicationHandleOpenURL(&application, *launchURL);
    return QApplication::exec();
}
