// Test main for the menu program's window tests: one QApplication on Qt's offscreen
// platform (no display needed), then GoogleTest.
#include <QApplication>
#include <QTemporaryDir>
#include <QtGlobal>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform cannot raise windows and says so every time; that is noise here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (text.startsWith(QLatin1String("This plugin does not support"))) return;
        qt_message_output(type, context, text);
    });
    // No event loop runs under the tests, so closing the last window quits nothing here;
    // the tests watch the lastWindowClosed signal instead.
    QApplication app(argc, argv);
    // The settings window reads and writes a settings file of the run's own, and its
    // sound previews play on SDL's silent driver.
    // The player's key, the outbox and the caches are the run's own as well.
    QTemporaryDir config, data, cache;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    qputenv("SDL_AUDIODRIVER", "dummy");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
