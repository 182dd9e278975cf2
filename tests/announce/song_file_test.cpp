#include "announce/song_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using announce::NowPlaying;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SongFile : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name = u"SongName.txt"_s) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

struct ContentCase {
    const char* what;
    NowPlaying track;
    QByteArray expected;
};

class SongFileContent : public SongFile, public testing::WithParamInterface<ContentCase> {};

TEST_P(SongFileContent, HoldsFourCrlfLines) {
    const ContentCase& c = GetParam();
    ASSERT_TRUE(announce::writeSongFile(path(), c.track)) << c.what;
    EXPECT_EQ(readAll(path()), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, SongFileContent,
    testing::Values(
        ContentCase{"tagged track",
                    {u"A"_s, u"B"_s, u"03:45"_s, u"128000"_s, u"1"_s, u"/x.mp3"_s, u"mp3"_s},
                    "A\r\nB\r\n03:45\r\n128000\r\n"},
        ContentCase{"untagged track",
                    {{}, u"b.mp3"_s, u"00:05"_s, {}, {}, {}, {}},
                    "\r\nb.mp3\r\n00:05\r\n\r\n"},
        ContentCase{"Cyrillic in the locale's encoding (UTF-8 here)",
                    {u"Кино"_s, u"Звезда"_s, u"04:00"_s, u"320000"_s, {}, {}, {}},
                    "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\r\n\xD0\x97\xD0\xB2\xD0\xB5\xD0\xB7\xD0"
                    "\xB4\xD0\xB0\r\n04:00\r\n320000\r\n"},
        ContentCase{"a line break in a tag keeps the file at four lines",
                    {u"A\r\nB"_s, u"x\ny"_s, {}, {}, {}, {}, {}},
                    "A  B\r\nx y\r\n\r\n\r\n"}));

TEST_F(SongFile, ReplacesTheOldContentWhole) {
    ASSERT_TRUE(announce::writeSongFile(
        path(), {u"Long author"_s, u"Long title"_s, u"10:00"_s, u"320000"_s, {}, {}, {}}));
    ASSERT_TRUE(announce::writeSongFile(path(), {u"A"_s, u"B"_s, {}, {}, {}, {}, {}}));
    EXPECT_EQ(readAll(path()), "A\r\nB\r\n\r\n\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{u"SongName.txt"_s})
        << "no temporary file is left behind";
}

TEST_F(SongFile, RewritesAReadOnlyFileAndLeavesItWritable) {
    QFile old(path());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old\r\n");
    old.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0444), 0);

    ASSERT_TRUE(announce::writeSongFile(path(), {u"A"_s, u"B"_s, {}, {}, {}, {}, {}}));
    EXPECT_EQ(readAll(path()), "A\r\nB\r\n\r\n\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IWUSR);
}

TEST_F(SongFile, WritesThroughASymbolicLinkAndKeepsTheLink) {
    const QString target = path(u"target.txt"_s);
    ASSERT_TRUE(QFile::link(u"target.txt"_s, path()));

    ASSERT_TRUE(announce::writeSongFile(path(), {u"A"_s, u"B"_s, {}, {}, {}, {}, {}}));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readAll(target), "A\r\nB\r\n\r\n\r\n");
}

TEST_F(SongFile, FailsWithoutHarmWhenTheFolderCannotBeWritten) {
    // The parent is a regular file, so even root cannot create anything there.
    QFile blocker(path(u"not-a-folder"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("keep");
    blocker.close();

    EXPECT_FALSE(announce::writeSongFile(path(u"not-a-folder/SongName.txt"_s),
                                         {u"A"_s, u"B"_s, {}, {}, {}, {}, {}}));
    EXPECT_EQ(readAll(blocker.fileName()), "keep");
}

TEST_F(SongFile, AConcurrentReaderNeverSeesItEmptyOrPartial) {
    const NowPlaying first{
        u"Первый исполнитель"_s, u"Первая песня"_s, u"03:45"_s, u"128000"_s, {}, {}, {}};
    const NowPlaying second{u"B"_s, u"Short"_s, u"00:01"_s, {}, {}, {}, {}};
    const QByteArray firstBytes = announce::songFileBytes(first);
    const QByteArray secondBytes = announce::songFileBytes(second);
    ASSERT_TRUE(announce::writeSongFile(path(), first));

    std::atomic<bool> writing{true};
    std::atomic<int> reads{0};
    QByteArray seenWrong;
    std::thread reader([&] {
        while (writing.load()) {
            const QByteArray seen = readAll(path());
            if (seen != firstBytes && seen != secondBytes) {
                seenWrong = seen.isEmpty() ? QByteArray("<empty>") : seen;
                return;
            }
            ++reads;
        }
    });
    bool allWritten = true;
    for (int i = 0; i < 400 && allWritten; ++i)
        allWritten = announce::writeSongFile(path(), i % 2 ? first : second);
    writing = false;
    reader.join();

    EXPECT_TRUE(allWritten);

    EXPECT_TRUE(seenWrong.isNull()) << "reader saw: " << seenWrong.toStdString();
    EXPECT_GT(reads.load(), 0);
}

} // namespace
