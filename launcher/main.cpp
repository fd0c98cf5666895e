// kestrow: the menu program. Starts the game, plays replays, shows the high scores.
#include "form1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kestrow::Form1 menu;
    menu.show();
    return app.exec(); // ends when the last window of the menu closes
}
