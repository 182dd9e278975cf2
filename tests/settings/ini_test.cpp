#include "settings/ini.h"
#include "settings/options.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <tuple>

using mOpenSave::ReadINI;
using mOpenSave::WriteINI;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray bytesOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A settings file as the IRC client leaves it: comments, blank lines, spacing, CRLF.
const QByteArray kMircIni =
    QByteArrayLiteral("; mIRC settings\r\n"
                      "[mirc]\r\n"
                      "user=Vasya\r\n"
                      "nick = Вася\r\n"
                      "host=RusNetSERVER:irc.rus.net:6667GROUP:RusNet\r\n"
                      "\r\n"
                      "[text]\r\n"
                      "accept=*.bmp,*.gif,*.jpg,*.mp3,*.ogg,*.txt\r\n"
                      "ignore=*.exe,*.com,*.bat\r\n"
                      "\r\n"
                      "[options]\r\n"
                      "n0=1,1,0,1,0,0,300,0,0,0,1,0,0,0,0,0,1,0,0,0,4096,0,0,0,0,0,1,0,0\r\n"
                      ";n1=old\r\n"
                      "n2=0,0,0,0,0,1,0,0,0,0,0,0,0,0,1,0,1,0,0,0,0,0,0,0,0,1,1,0,0\r\n");

const QString kSection = QStringLiteral("Tunelark");

class Ini : public testing::Test {
protected:
    QTemporaryDir temp;
    QString ini = temp.filePath(QStringLiteral("mirc.ini"));

    void writeKey(const char* key, const QString& value) {
        QString text = value;
        WriteINI(ini, kSection, QString::fromLatin1(key), text);
    }
};

TEST_F(Ini, ForeignFileKeepsEveryByteButOurSection) {
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kMircIni);
    f.close();
    const QString format = QStringLiteral("/me слушает !артист - !название [!время]");
    writeKey("Repeat", QStringLiteral("True"));
    writeKey("Format", format);
    writeKey("Repeat", QStringLiteral("False"));
    EXPECT_EQ(bytesOf(ini),
              kMircIni + "[Tunelark]\r\nRepeat=False\r\nFormat=" + format.toUtf8() + "\r\n");
    EXPECT_EQ(ReadINI(ini, QStringLiteral("TUNELARK"), QStringLiteral("format"), {}), format);
    EXPECT_EQ(ReadINI(ini, kSection, QStringLiteral("Repeat"), {}), QStringLiteral("False"));
    EXPECT_EQ(ReadINI(ini, QStringLiteral("mirc"), QStringLiteral("nick"), {}),
              QStringLiteral("Вася"));
}

TEST_F(Ini, MissingFileGivesDefaultWithoutTrailingSpaces) {
    EXPECT_EQ(ReadINI(ini, kSection, QStringLiteral("Format"), QStringLiteral(" a b  ")),
              QStringLiteral(" a b"));
    EXPECT_FALSE(QFile::exists(ini));
}

TEST_F(Ini, LongValuesComeBackAsTheirFirst254Characters) {
    writeKey("Ascii", QString(300, u'x'));
    writeKey("Cyrillic", u'a' + QString(300, u'ж'));
    EXPECT_EQ(ReadINI(ini, kSection, QStringLiteral("Ascii"), {}), QString(254, u'x'));
    EXPECT_EQ(ReadINI(ini, kSection, QStringLiteral("Cyrillic"), {}), u'a' + QString(253, u'ж'));
}

TEST_F(Ini, LineBreaksBecomeBlanksInFileAndCallerText) {
    const struct {
        QString value;
        QString cleaned;
    } cases[] = {
        {QStringLiteral("a\r\nb"), QStringLiteral("a  b")},
        {QStringLiteral("a\n\rb\r"), QStringLiteral("a  b ")},
        {QStringLiteral("a\nb"), QStringLiteral("a b")},
    };
    for (const auto& c : cases) {
        QString value = c.value;
        WriteINI(ini, kSection, QStringLiteral("Format"), value);
        EXPECT_EQ(value, c.cleaned);
        EXPECT_EQ(bytesOf(ini), "[Tunelark]\r\nFormat=" + c.cleaned.toUtf8() + "\r\n");
    }
}

// A settings file nobody would write by hand: reading gives the defaults at once, and a write
// either adds only our lines or leaves it exactly as it was.
struct HostileCase {
    const char* what;
    enum Kind { RandomBytes, Utf16, LinkToPipe, LinkToZeros } kind;
    bool written; // our line is added after every byte of it, else it stays as it was
};

const HostileCase kHostileFiles[] = {
    {"five MiB of random bytes", HostileCase::RandomBytes, true},
    {"UTF-16 with its byte order mark", HostileCase::Utf16, false},
    {"link to a pipe nobody writes", HostileCase::LinkToPipe, false},
    {"link to an endless device", HostileCase::LinkToZeros, false},
};

class HostileSettingsFile : public Ini, public testing::WithParamInterface<HostileCase> {};

TEST_P(HostileSettingsFile, ReadsAsDefaultsAtOnceAndLosesNoByte) {
    const HostileCase& c = GetParam();
    QByteArray before;
    QString target;
    switch (c.kind) {
    case HostileCase::RandomBytes:
        before.resize(5 << 20);
        for (qsizetype i = 0; i < before.size(); i += 4) {
            const quint32 word = QRandomGenerator::global()->generate();
            std::memcpy(before.data() + i, &word, 4);
        }
        before[0] = 'x'; // not a UTF-16 mark by chance
        break;
    case HostileCase::Utf16:
        before = QByteArray("\xFF\xFE") +
                 QByteArray::fromRawData(
                     reinterpret_cast<const char*>(u"[Tunelark]\r\nRepeat=True\r\n"), 2 * 24);
        break;
    case HostileCase::LinkToPipe:
        target = temp.filePath(QStringLiteral("pipe"));
        ASSERT_EQ(::mkfifo(QFile::encodeName(target), 0600), 0);
        ASSERT_TRUE(QFile::link(target, ini));
        break;
    case HostileCase::LinkToZeros:
        target = QStringLiteral("/dev/zero");
        ASSERT_TRUE(QFile::link(target, ini));
        break;
    }
    if (!before.isEmpty()) {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(before), before.size());
    }

    // On a thread of its own, so a read that waits on the pipe fails here instead of hanging.
    auto read = std::make_shared<std::promise<QString>>();
    auto readDone = read->get_future();
    std::thread([read, file = ini] {
        QString value = QStringLiteral("True");
        WriteINI(file, kSection, QStringLiteral("Repeat"), value);
        read->set_value(ReadINI(file, kSection, QStringLiteral("Random"), QStringLiteral("False")));
    }).detach();
    ASSERT_EQ(readDone.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "the settings file was waited on";
    EXPECT_EQ(readDone.get(), QStringLiteral("False"));

    if (c.kind == HostileCase::LinkToPipe || c.kind == HostileCase::LinkToZeros) {
        EXPECT_EQ(QFileInfo(ini).symLinkTarget(), target) << "the link was replaced";
        return;
    }
    const QByteArray after = bytesOf(ini);
    if (c.written) {
        EXPECT_TRUE(after.startsWith(before)) << "a byte of the file was lost";
        EXPECT_TRUE(after.endsWith("[Tunelark]\r\nRepeat=True\r\n"));
        EXPECT_LE(after.size() - before.size(), 28);
    } else {
        EXPECT_EQ(after, before);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, HostileSettingsFile, testing::ValuesIn(kHostileFiles),
                         testsupport::NameByWhat());

TEST(Options, BooleanRule) {
    const struct {
        const char16_t* text;
        std::optional<bool> expected;
    } cases[] = {
        {u"True", true},
        {u"FALSE", false},
        {u"tRuE", true},
        {u" true\t", true},
        {u"0", false},
        {u"1", true},
        {u"-1", true},
        {u"-0", false},
        {u"+7", true},
        {u"1.5", true},
        {u"0.0", false},
        {u"0,5", true},
        {u".5", true},
        {u"1e3", true},
        {u"0E-2", false},
        {u"", std::nullopt},
        {u" ", std::nullopt},
        {u"yes", std::nullopt},
        {u"on", std::nullopt},
        {u"tru", std::nullopt},
        {u"true1", std::nullopt},
        {u"1.2.3", std::nullopt},
        {u"+", std::nullopt},
        {u".", std::nullopt},
        {u"1e", std::nullopt},
        {u"1 0", std::nullopt},
        {u"0x1", std::nullopt},
        {u"&H1", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settings::parseBoolean(QString::fromUtf16(c.text)), c.expected)
            << QString::fromUtf16(c.text).toStdString();
    }
    for (const bool value : {true, false}) {
        EXPECT_EQ(settings::parseBoolean(settings::booleanText(value)), value);
    }
    EXPECT_EQ(settings::booleanText(true), QStringLiteral("True"));
    EXPECT_EQ(settings::booleanText(false), QStringLiteral("False"));
}

TEST(Options, StartupReadsAndShutdownStoresTheFlags) {
    using Stored = QMap<QString, QString>; // a missing key reads as its default
    const QString fallback = QStringLiteral("/me !название");
    const struct {
        const char* name;
        Stored stored;
        settings::Options expected;
    } cases[] = {
        {"first start", {}, {false, false, false, false, fallback}},
        {"any letter case and numbers",
         {{u"Repeat"_s, u"true"_s},
          {u"AutoStart"_s, u"1"_s},
          {u"Random"_s, u"-2"_s},
          {u"AutoPrint"_s, u"FALSE"_s}},
         {true, true, true, false, fallback}},
        {"text that is no Boolean leaves the flag off",
         {{u"Repeat"_s, u"yes"_s},
          {u"AutoStart"_s, {}},
          {u"Random"_s, u"0"_s},
          {u"AutoPrint"_s, u"True"_s}},
         {false, false, false, true, fallback}},
        {"stored format",
         {{u"Format"_s, u"np: !название"_s}},
         {false, false, false, false, u"np: !название"_s}},
        {"empty format stays empty", {{u"Format"_s, {}}}, {false, false, false, false, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList asked;
        auto reader = [&](const Stored& stored) {
            return [&](const QString& key, const QString& defaultValue) {
                asked << key;
                return stored.value(key, defaultValue);
            };
        };
        const settings::Options read = settings::readOptions(reader(c.stored), fallback);
        const auto& e = c.expected;
        EXPECT_EQ(std::tie(read.repeat, read.autoStart, read.random, read.autoPrint, read.format),
                  std::tie(e.repeat, e.autoStart, e.random, e.autoPrint, e.format));
        // What shutdown stores reads back as the same flags.
        Stored stored;
        for (const auto& [key, value] : settings::optionsToStore(read))
            stored[key] = value;
        const settings::Options again = settings::readOptions(reader(stored), fallback);
        EXPECT_EQ(std::tie(again.repeat, again.autoStart, again.random, again.autoPrint),
                  std::tie(e.repeat, e.autoStart, e.random, e.autoPrint));
        EXPECT_EQ(asked.mid(0, 5), (QStringList{u"Repeat"_s, u"AutoStart"_s, u"Random"_s,
                                                u"AutoPrint"_s, u"Format"_s}));
    }
    const QList<std::pair<QString, QString>> stored = {{u"Repeat"_s, u"True"_s},
                                                       {u"AutoStart"_s, u"False"_s},
                                                       {u"Random"_s, u"False"_s},
                                                       {u"AutoPrint"_s, u"True"_s}};
    EXPECT_EQ(settings::optionsToStore({true, false, false, true, u"not stored"_s}), stored);
}

TEST(Options, DelayAndJsonFileAreReadButNeverStored) {
    const QMap<QString, QString> stored{{u"AnnounceDelay"_s, u"2,5"_s}, {u"JsonFile"_s, u"true"_s}};
    const settings::Options read = settings::readOptions(
        [&](const QString& key, const QString& def) { return stored.value(key, def); }, {});
    EXPECT_EQ(read.announceDelayMs, 2500);
    EXPECT_TRUE(read.jsonFile);
    const settings::Options none =
        settings::readOptions([](const QString&, const QString& def) { return def; }, {});
    EXPECT_EQ(none.announceDelayMs, 0);
    EXPECT_FALSE(none.jsonFile);
    for (const auto& [key, value] : settings::optionsToStore(read))
        EXPECT_FALSE(key == u"AnnounceDelay"_s || key == u"JsonFile"_s) << key.toStdString();
}

TEST(Options, DelayIsSecondsUpToADayAndAnythingElseIsNone) {
    const std::pair<const char*, qint64> cases[] = {
        {"0", 0},         {"5", 5000},         {" 2.5 ", 2500},   {"2,5", 2500},
        {"0.0004", 0},    {"86400", 86400000}, {"1e9", 86400000}, {"-3", 0},
        {"nan", 0},       {"inf", 0},          {"пять", 0},       {"", 0},
        {"5 seconds", 0},
    };
    for (auto [text, ms] : cases)
        EXPECT_EQ(settings::delayMs(QString::fromUtf8(text)), ms) << text;
}

TEST(Options, FolderGetsOneNativeSeparator) {
    const QString sep = QDir::separator();
    const struct {
        QString folder;
        QString expected;
    } cases[] = {
        {QStringLiteral("/opt/tunelark"), QStringLiteral("/opt/tunelark") + sep},
        {QStringLiteral("/"), QStringLiteral("/")},
        {QStringLiteral("/opt/tunelark/"), QStringLiteral("/opt/tunelark/")},
        {QStringLiteral("C:\\Apps"), QStringLiteral("C:\\Apps") + sep},
        {QStringLiteral("C:\\"), QStringLiteral("C:\\")},
        {QString(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settings::folderWithSeparator(c.folder), c.expected) << c.folder.toStdString();
    }
}

TEST(Options, FilesLiveBesideTheProgramOrInTheUsersConfiguration) {
    const struct {
        const char* program;
        bool writable;
        const char* xdgConfigHome;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/home/u/irc", true, "/home/u/cfg", "/home/u", "/home/u/irc/"},
        {"/usr/local/bin", false, "/home/u/cfg", "/home/u", "/home/u/cfg/tunelark/"},
        {"/usr/local/bin", false, "/home/u/cfg/", "/home/u", "/home/u/cfg/tunelark/"},
        {"/usr/local/bin", false, "", "/home/u", "/home/u/.config/tunelark/"},
        {"/usr/local/bin", false, "cfg", "/home/u", "/home/u/.config/tunelark/"}, // not absolute
        {"/usr/local/bin", false, "", "/", "/.config/tunelark/"},
        {"/usr/local/bin", false, "", "", "/usr/local/bin/"}, // nowhere else to go
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settings::filesFolder(QString::fromUtf8(c.program), c.writable,
                                        QString::fromUtf8(c.xdgConfigHome),
                                        QString::fromUtf8(c.home)),
                  QString::fromUtf8(c.expected))
            << c.program << " " << c.xdgConfigHome;
    }
}

} // namespace
