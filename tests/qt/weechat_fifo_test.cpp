#include "qt/weechat_fifo.h"
#include "support/case_name.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using announce::WeechatPlaces;

namespace {

QByteArray local(const QString& path) {
    return QFile::encodeName(path);
}

// The read end of a fifo, as a running WeeChat holds it.
class Reader {
public:
    explicit Reader(const QString& path)
        : fd_(::open(local(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~Reader() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    bool isOpen() const { return fd_ >= 0; }
    QByteArray take() {
        QByteArray all;
        char buffer[8192];
        ssize_t n;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0)
            all.append(buffer, n);
        return all;
    }

private:
    int fd_;
};

class WeechatFifo : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }

    QString folder(const QString& relative) {
        const QString path = root.filePath(relative);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }
    static QString makeFifo(const QString& dir, const QString& name) {
        const QString path = dir + u'/' + name;
        EXPECT_EQ(::mkfifo(local(path).constData(), 0600), 0) << path.toStdString();
        return path;
    }
    static void makeFile(const QString& dir, const QString& name) {
        QFile file(dir + u'/' + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    }
    WeechatPlaces places() const {
        return {root.filePath(u"weechat-home"_s), root.filePath(u"home"_s), root.filePath(u"run"_s),
                root.filePath(u"cache"_s)};
    }

    QTemporaryDir root;
};

TEST_F(WeechatFifo, SearchesTheFoldersInOrder) {
    const QString r = root.path();
    EXPECT_EQ(announce::weechatFifoDirs(places()),
              (QStringList{r + u"/weechat-home"_s, r + u"/home/.weechat"_s, r + u"/run/weechat"_s,
                           r + u"/cache/weechat"_s, r + u"/home/.cache/weechat"_s}));
}

TEST_F(WeechatFifo, SearchesAFolderListFromItsRuntimeEndAndSkipsUnsetPlaces) {
    const WeechatPlaces split{u"~/c:/d:/k:/r"_s, u"/h"_s, {}, {}};
    EXPECT_EQ(announce::weechatFifoDirs(split),
              (QStringList{u"/r"_s, u"/k"_s, u"/d"_s, u"/h/c"_s, u"/h/.weechat"_s,
                           u"/h/.cache/weechat"_s}));
    EXPECT_TRUE(announce::weechatFifoDirs({}).isEmpty());
}

TEST_F(WeechatFifo, ListsOnlyPipesAndFollowsTheFolderOrder) {
    const QString cache = folder(u"home/.cache/weechat"_s);
    const QString home = folder(u"weechat-home"_s);
    const QString runtime = folder(u"run/weechat"_s);
    const QString a = makeFifo(cache, u"weechat_fifo_1"_s);
    const QString b = makeFifo(runtime, u"weechat_fifo_2"_s);
    const QString c = makeFifo(home, u"weechat_fifo_3"_s);
    makeFile(home, u"weechat_fifo_4"_s);
    makeFifo(home, u"other_fifo"_s);
    EXPECT_EQ(announce::weechatFifoCandidates(places()), (QStringList{c, b, a}));
}

TEST_F(WeechatFifo, WritesToTheLivePipePassingOverStaleOnesAndPlainFiles) {
    const QString home = folder(u"weechat-home"_s);
    const QString cache = folder(u"home/.cache/weechat"_s);
    makeFifo(home, u"weechat_fifo_100"_s); // left by a WeeChat that died: nobody reads it
    makeFile(home, u"weechat_fifo_200"_s);
    const QString live = makeFifo(cache, u"weechat_fifo_300"_s);
    Reader weechat(live);
    ASSERT_TRUE(weechat.isOpen());

    EXPECT_EQ(announce::sendToWeechatFifo(u"/me слушает A - B [03:45]"_s, places()), live);
    EXPECT_EQ(weechat.take(), u"*/me слушает A - B [03:45]\n"_s.toUtf8());
    EXPECT_EQ(QFile(home + u"/weechat_fifo_200"_s).size(), 0) << "a plain file is never written";
}

TEST_F(WeechatFifo, PrefersAnEarlierFolderWhenTwoPipesAreLive) {
    const QString first = makeFifo(folder(u"run/weechat"_s), u"weechat_fifo_9"_s);
    const QString second = makeFifo(folder(u"cache/weechat"_s), u"weechat_fifo_1"_s);
    Reader one(first);
    Reader two(second);
    EXPECT_EQ(announce::sendToWeechatFifo(u"x"_s, places()), first);
    EXPECT_EQ(one.take(), "*x\n");
    EXPECT_TRUE(two.take().isEmpty());
}

TEST_F(WeechatFifo, FailsWithoutBlockingWhenNoPipeTakesTheLine) {
    const QString home = folder(u"weechat-home"_s);
    makeFifo(home, u"weechat_fifo_1"_s);
    EXPECT_TRUE(announce::sendToWeechatFifo(u"x"_s, places()).isEmpty()) << "stale pipe only";

    // A hung WeeChat: its pipe is open but full.
    const QString hung = makeFifo(home, u"weechat_fifo_2"_s);
    Reader weechat(hung);
    const int fill = ::open(local(hung).constData(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(fill, 0);
    const std::vector<char> chunk(4096, 'x');
    while (::write(fill, chunk.data(), chunk.size()) > 0) {
    }
    ASSERT_EQ(errno, EAGAIN);
    EXPECT_TRUE(announce::sendToWeechatFifo(u"x"_s, places()).isEmpty()) << "full pipe";
    ::close(fill);
}

struct CommandCase {
    const char* what;
    QString line;
    QByteArray expected;
};

class WeechatFifoCommand : public testing::TestWithParam<CommandCase> {};

TEST_P(WeechatFifoCommand, IsOneLineOfAtMost4096Bytes) {
    const CommandCase& c = GetParam();
    const QByteArray command = announce::weechatFifoCommand(c.line);
    EXPECT_EQ(command, c.expected) << c.what;
    EXPECT_LE(command.size(), 4096);
    EXPECT_EQ(command.count('\n'), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WeechatFifoCommand,
    testing::Values(
        CommandCase{"action", u"/me слушает"_s, u"*/me слушает\n"_s.toUtf8()},
        CommandCase{"empty", QString(), "*\n"},
        CommandCase{"line breaks", u"a\r\nb\0c"_s, QByteArray("*a  b c\n", 8)},
        CommandCase{"exactly full", QString(4094, u'a'), '*' + QByteArray(4094, 'a') + '\n'},
        CommandCase{"ASCII cut", QString(5000, u'a'), '*' + QByteArray(4094, 'a') + '\n'},
        // 2047 two-byte letters fill 4094 bytes; one more must go whole
        CommandCase{"two-byte letters cut", QString(3000, u'ж'),
                    '*' + QString(2047, u'ж').toUtf8() + '\n'},
        // "a" then three-byte signs: 1 + 3 * 1364 = 4093, a fourth byte would split one
        CommandCase{"three-byte signs cut", u"a"_s + QString(2000, u'€'),
                    "*a" + QString(1364, u'€').toUtf8() + '\n'},
        // "ab" then four-byte signs (surrogate pairs): 2 + 4 * 1023 = 4094
        CommandCase{"four-byte signs cut", u"ab"_s + QString(u"😀"_s).repeated(1500),
                    "*ab" + QString(u"😀"_s).repeated(1023).toUtf8() + '\n'},
        CommandCase{"four-byte sign that would straddle the end",
                    u"abc"_s + QString(u"😀"_s).repeated(1500),
                    "*abc" + QString(u"😀"_s).repeated(1022).toUtf8() + '\n'}),
    testsupport::NameByWhat());

} // namespace
