// The replay list over a big folder: how long until its window is up, how the results
// come in, and how long a second opening takes once everything is in the cache.
//   replay_list_bench APP_DIR      (APP_DIR holds the replays and tolvane-replay)
// Run it through bench/replay_list.sh, which makes the folder and a display.
#include "form1.h"
#include "form4.h"
#include "replaylist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>

using namespace kestrow;

namespace {

struct Opening {
    qint64 windowMs = 0; // from the key to the window shown on screen
    qint64 firstMs = -1; // until the first result
    qint64 halfMs = -1;  // until half of them
    qint64 allMs = -1;   // until the last
    int rows = 0;
    int settledAtOnce = 0; // known when the window came up
};

Opening open(Form1& menu) {
    Opening o;
    QElapsedTimer clock;
    clock.start();
    menu.showForm4();
    Form4* list = menu.form4();
    if (!QTest::qWaitForWindowExposed(list, 5000)) std::fprintf(stderr, "the window never came up\n");
    QApplication::processEvents();
    o.windowMs = clock.elapsed();
    o.rows = list->list()->rowCount();
    o.settledAtOnce = list->list()->settled();
    while (clock.elapsed() < 600000) {
        const int settled = list->list()->settled();
        if (settled > 0 && o.firstMs < 0) o.firstMs = clock.elapsed();
        if (settled * 2 >= o.rows && o.halfMs < 0) o.halfMs = clock.elapsed();
        if (settled == o.rows) {
            o.allMs = clock.elapsed();
            break;
        }
        QTest::qWait(5);
    }
    list->close();
    if (!QTest::qWaitFor([&] { return menu.form4() == nullptr; }, 2000))
        std::fprintf(stderr, "the window did not close\n");
    return o;
}

void report(const char* what, const Opening& o) {
    std::printf("%s: %d replays, window up in %lld ms with %d known; first result %lld ms, half %lld ms, "
                "all %lld ms\n",
                what, o.rows, static_cast<long long>(o.windowMs), o.settledAtOnce,
                static_cast<long long>(o.firstMs), static_cast<long long>(o.halfMs),
                static_cast<long long>(o.allMs));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: replay_list_bench APP_DIR\n");
        return 1;
    }
    Form1 menu(argv[1]);
    menu.show();
    if (!QTest::qWaitForWindowExposed(&menu, 5000)) {
        std::fprintf(stderr, "the menu never came up\n");
        return 1;
    }
    report("first opening (empty cache)", open(menu));
    report("second opening (cache)", open(menu));
    std::printf("goal: the window up in under 500 ms\n");
    return 0;
}
