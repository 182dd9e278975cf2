// Time from fOpenFile on a 10,000-entry m3u to a filled playlist view, beside the least any
// client of the engine must do on the same file in the same run: loadlist and one read of the
// playlist. Prints both medians with their spread, and the ratio of each round's pair (target:
// at most 1.2 in every round).
#include "qt/main_window.h"

#include <mpv/client.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

namespace {

constexpr int kEntries = 10000;
constexpr int kRounds = 7;

QString writePlaylist(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("big.m3u"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    QByteArray text = "#EXTM3U\n";
    for (int i = 0; i < kEntries; ++i) {
        if (i % 2 == 0)
            text += "#EXTINF:200,Исполнитель " + QByteArray::number(i) + " - Песня\n";
        text += "music/album " + QByteArray::number(i / 12) + "/track " + QByteArray::number(i) +
                ".mp3\n";
    }
    f.write(text);
    return path;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The engine alone: load the list, read the playlist once.
double baselineMs(const QByteArray& path) {
    std::setlocale(LC_NUMERIC, "C");
    mpv_handle* h = mpv_create();
    for (auto [k, v] : {std::pair{"vo", "null"}, {"ao", "null"}, {"idle", "yes"}, {"pause", "yes"}})
        mpv_set_option_string(h, k, v);
    mpv_initialize(h);
    QElapsedTimer t;
    t.start();
    const char* cmd[] = {"loadlist", path.constData(), "replace", nullptr};
    mpv_command(h, cmd);
    mpv_node node;
    mpv_get_property(h, "playlist", MPV_FORMAT_NODE, &node);
    const double ms = t.nsecsElapsed() / 1e6;
    const bool full = node.format == MPV_FORMAT_NODE_ARRAY && node.u.list->num == kEntries;
    mpv_free_node_contents(&node);
    mpv_terminate_destroy(h);
    return full ? ms : -1;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString playlist = writePlaylist(dir);
    if (playlist.isEmpty())
        return 1;

    MainOptions options;
    options.programFolder = dir.path();
    options.vo = options.ao = QStringLiteral("null");
    Main window(std::move(options));
    auto* view = window.findChild<QListView*>(QStringLiteral("List1"));

    std::vector<double> ours, base;
    for (int round = 0; round < kRounds; ++round) {
        base.push_back(baselineMs(playlist.toUtf8()));
        QElapsedTimer t;
        t.start();
        window.fOpenFile(playlist);
        ours.push_back(view->model()->rowCount() == kEntries ? t.nsecsElapsed() / 1e6 : -1);
        window.fOpenFile(QString()); // empty again between rounds
    }
    if (*std::min_element(base.begin(), base.end()) < 0 ||
        *std::min_element(ours.begin(), ours.end()) < 0) {
        std::printf("playlist_load: a load came back short\n");
        return 1;
    }
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round)
        ratios.push_back(ours[std::size_t(round)] / base[std::size_t(round)]);
    const auto met = std::count_if(ratios.begin(), ratios.end(), [](double r) { return r <= 1.2; });
    const auto [bMin, bMax] = std::minmax_element(base.begin(), base.end());
    const auto [oMin, oMax] = std::minmax_element(ours.begin(), ours.end());
    std::printf("playlist_load: %d entries, median (min..max) of %d rounds\n", kEntries, kRounds);
    std::printf("  baseline (loadlist + one playlist read): %8.1f ms (%.1f..%.1f)\n", median(base),
                *bMin, *bMax);
    std::printf("  fOpenFile to a filled view:              %8.1f ms (%.1f..%.1f)\n", median(ours),
                *oMin, *oMax);
    std::printf("result: playlist load %.2fx (target <= 1.20x in every round: %d/%d, worst "
                "%.2fx)%s\n",
                median(ratios), int(met), kRounds, *std::max_element(ratios.begin(), ratios.end()),
                met == kRounds ? "" : " MISSED");
    std::fflush(stdout);
    return 0;
}
