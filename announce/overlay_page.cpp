#include "announce/overlay_server.h"

namespace announce {

// No external resources: a browser source may have no network but this machine. The progress
// bar runs as one CSS transition to its end, so the page needs no timer of its own.
const char* const kOverlayPage = R"page(<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<title>Tunelark</title>
<style>
html, body { margin: 0; background: transparent; font-family: sans-serif; color: #fff; }
#card { display: flex; align-items: center; gap: 12px; max-width: 560px; padding: 10px;
        background: rgba(0, 0, 0, .55); border-radius: 8px; transition: opacity .3s; }
#card.hidden { opacity: 0; }
#cover { width: 72px; height: 72px; object-fit: cover; border-radius: 4px; }
#text { flex: 1; min-width: 0; }
#artist, #title { white-space: nowrap; overflow: hidden; text-overflow: ellipsis;
                  text-shadow: 0 1px 2px #000; }
#artist { font-size: 16px; opacity: .85; }
#title { font-size: 20px; font-weight: bold; }
#bar { height: 4px; margin-top: 8px; background: rgba(255, 255, 255, .25); border-radius: 2px;
       overflow: hidden; }
#fill { height: 100%; width: 0; background: #fff; }
</style>
</head>
<body>
<div id="card" class="hidden">
<img id="cover" alt="" hidden>
<div id="text"><div id="artist"></div><div id="title"></div><div id="bar"><div id="fill"></div></div></div>
</div>
<script>
const $ = id => document.getElementById(id);
let coverShown = 0;
function progress(s) {
  const fill = $('fill');
  fill.style.transition = 'none';
  $('bar').hidden = !s.duration;
  if (!s.duration) return;
  fill.style.width = Math.min(s.position / s.duration, 1) * 100 + '%';
  if (s.state !== 'playing') return;
  fill.getBoundingClientRect(); // the start is laid out before the transition begins
  fill.style.transition = 'width ' + Math.max(s.duration - s.position, 0) + 's linear';
  fill.style.width = '100%';
}
function show(s) {
  $('card').classList.toggle('hidden', s.state === 'stopped');
  document.body.dataset.state = s.state;
  $('artist').textContent = s.artist;
  $('title').textContent = s.title;
  if (s.cover !== coverShown) {
    coverShown = s.cover;
    $('cover').hidden = !s.cover;
    if (s.cover) $('cover').src = '/cover?n=' + s.cover;
  }
  progress(s);
}
const events = new EventSource('/events');
events.onmessage = e => show(JSON.parse(e.data));
events.onerror = () => $('card').classList.add('hidden');
</script>
</body>
</html>
)page";

} // namespace announce
