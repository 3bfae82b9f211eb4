#include "offscreen.h"

#include <QApplication>
#include <exception>
#include <iostream>

#include "core/database.h"

int RunOffscreen(int argc, char** argv, const char* program, TBenchCommand run) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const QApplication app(argc, argv);
    std::ios::sync_with_stdio(false);
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << program << ": " << e.what() << '\n';
        return 1;
    }
}

std::string ArtistsDatabase(int items, int artists) {
    TDatabaseWriter out;
    out.Integer(107);
    out.String("");
    out.String("");
    out.Integer(items);
    for (int i = 0; i < items; ++i) {
        out.String(".mp3");
        out.String("filename=/m/" + std::to_string(i) + ".mp3\r\nTPE1=Artist " + std::to_string(i % artists) + "\r\n");
    }
    for (int list = 0; list < 4; ++list) out.Integer(0); // favourites, playlist, now playing, its index
    for (const char* tree : {"root.Name=Tunecrate\r\nroot.Type=artist\r\n", "root.Name=我的最爱\r\nroot.Type=artist\r\n",
                             "root.Name=播放列表\r\nroot.Type=year\r\n"})
        out.String(tree);
    return out.Bytes();
}
