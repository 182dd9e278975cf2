#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

#include <functional>

// Readable test failures for Qt's text types.
void PrintTo(const QString& text, std::ostream* out);
void PrintTo(const QStringList& list, std::ostream* out);

namespace testsupport {

// Small media made with ffmpeg once per test run (by the test_media fixture, into the folder named
// by $TUNELARK_TEST_MEDIA), or once per process in a temporary folder when that is not set:
// tagged.mp3 (artist "Ария", title "Беспечный ангел", 128k, 5 s), upper.ogg (tags as Ogg stores
// them, upper case), untagged.ogg, untagged.flac (no bitrate either), short.mkv (video with sound,
// 20 s), almost-minute.ogg (59.6 s), over-hour.ogg (1 h 2 min 5.4 s), list.m3u (#EXTINF titles,
// relative paths), list.pls, long-title.mp3 (3 s, artist "Ария", title longTitle());
// beep0.ogg..beep9.ogg (0.3 s each) and lists of them: one.m3u, two.m3u, six.m3u (beep0..beep5),
// nested.m3u (beep0, inner.m3u = beep1 beep2, beep3), self.m3u (beep0, itself, beep1),
// cycle-a.m3u (beep0, cycle-b.m3u, beep1) with cycle-b.m3u (beep2, cycle-a.m3u, beep3),
// deep1.m3u..deep10.m3u (level k: beep(k-1), then the next level), and folder/ with a.ogg,
// b.ogg, c.ogg. Fails the current test when ffmpeg cannot make them.
// Tests only read them; a test that needs a file of its own makes it in a folder of its own.
QString mediaDir();
QString media(const QString& name);

// A title of nearly 64 KiB in UTF-8, of whole Russian words.
QString longTitle();

// Makes the media above in folder, creating it; false when ffmpeg fails.
bool makeMedia(const QString& folder);

// The sanitizers record the stack of every allocation, the engine's own too: a list of 100,000
// entries then takes minutes, so their runs leave such lists to the plain one.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Runs the event loop until pred holds or timeoutMs passes; returns whether it holds.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 15000);

} // namespace testsupport
