#include "rival.h"

#include <QFileInfo>
#include <QTimer>
#include <memory>

#include "look.h"

namespace kestrow {
namespace {

// One search for a rival: its answer given once, by the first of the last request and
// the time limit; whatever comes after is let go.
struct Hunt {
    std::function<void(QString, QString)> done;
    QTimer limit;
    bool over = false;

    void finish(const QString& file, const QString& why) {
        if (over) return;
        over = true;
        limit.stop();
        const auto call = std::move(done);
        call(file, why);
    }
};

QString noRunText() { return qtext(N_("表にまだ記録がありません")); }

} // namespace

void fetchTableRival(Online& online, TableRival which, const QString& period, const QString& folder,
                     std::function<void(QString file, QString why)> done) {
    if (!online.enabled()) return done(QString(), qtext(N_("サーバーが設定されていません")));
    auto hunt = std::make_shared<Hunt>();
    hunt->done = std::move(done);
    const int ms = online.totalTimeLimit();
    hunt->limit.setSingleShot(true);
    // The timer is the hunt's own: it fires only while the hunt is there.
    QObject::connect(&hunt->limit, &QTimer::timeout, [h = hunt.get(), ms] {
        h->finish(QString(), qtext(N_("%1 秒たっても答えが終わりませんでした")).arg((ms + 999) / 1000));
    });
    hunt->limit.start(ms);

    Online* o = &online;
    auto download = [o, hunt, folder](const OnlineRun& run) {
        if (hunt->over) return;
        o->fetchReplay(run, folder, [hunt](bool ok, QString why, QString file) {
            hunt->finish(ok ? file : QString(), ok ? QString() : why);
        });
    };
    // The one row at `offset` of the table, downloaded.
    auto rowAt = [o, hunt, period, download](qint64 offset) {
        if (hunt->over) return;
        o->fetchTable(period, offset, 1, [hunt, download](std::optional<OnlineTable> table, QString why) {
            if (!table) return hunt->finish(QString(), why);
            if (table->entries.empty()) return hunt->finish(QString(), why.isEmpty() ? noRunText() : why);
            download(table->entries.front());
        });
    };
    if (which == TableRival::Top) return rowAt(0);

    int slot = 0;
    while (slot < static_cast<int>(kPeriods.size()) && period != QLatin1String(kPeriods[slot])) ++slot;
    online.fetchStanding(
        [o, hunt, period, slot, rowAt, download](std::optional<OnlineStanding> standing, QString why) {
            if (hunt->over) return;
            if (!standing) return hunt->finish(QString(), why);
            const std::optional<OnlineRun>* best[] = {&standing->all, &standing->month, &standing->week,
                                                      &standing->day};
            const std::optional<OnlineRun>& mine = slot < 4 ? *best[slot] : standing->all;
            if (mine && mine->rank == 1) return download(*mine); // the top is the player's own run
            if (mine && mine->rank > 1) return rowAt(mine->rank - 2);
            // No ranked run of the player's: the last of the table is the one above.
            o->fetchTable(period, 0, 1, [hunt, rowAt](std::optional<OnlineTable> table, QString why) {
                if (!table) return hunt->finish(QString(), why);
                if (table->total <= 0) return hunt->finish(QString(), noRunText());
                rowAt(table->total - 1);
            });
        });
}

void chooseRival(Online& online, settings::RivalChoice choice, const QString& best, const QString& folder,
                 std::function<void(QString file, QString why)> done) {
    switch (choice) {
    case settings::RivalChoice::None: return done(QString(), QString());
    case settings::RivalChoice::Best: return done(QFileInfo(best).isFile() ? best : QString(), QString());
    case settings::RivalChoice::Above:
    case settings::RivalChoice::Top: break;
    }
    online.reload();
    if (!online.enabled()) return done(QString(), qtext(N_("サーバーが設定されていません")));
    fetchTableRival(online, choice == settings::RivalChoice::Top ? TableRival::Top : TableRival::Above,
                    QString::fromLatin1(kPeriods[0]), folder, std::move(done));
}

} // namespace kestrow
