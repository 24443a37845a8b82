// The live page: plain HTML, CSS and script in one piece, so that it works with no network.
// The drawing itself comes from the server (the same Scene that draws the saved picture);
// the script only puts the layers it is sent in place and fills in the numbers.
#include "sim/ViewServer.h"

namespace Sim {

const char* ViewServer::page() {
  return R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="bricksim-token" content="@TOKEN@">
<title>bricksim: the robot live</title>
<style>
body { font: 14px sans-serif; margin: 0; display: grid; grid-template-columns: minmax(0, 1fr) 22em;
       grid-template-rows: auto minmax(0, 1fr) 14em; height: 100vh; }
header { grid-column: 1 / 3; padding: 4px 8px; background: #1d3557; color: white; }
header button, header select { margin-left: 4px; }
#map { overflow: auto; padding: 4px; }
#map svg { width: 100%; height: auto; max-height: 100%; }
#panel { padding: 4px 8px; overflow: auto; border-left: 1px solid #ccc; }
#panel table { border-collapse: collapse; width: 100%; }
#panel td { padding: 1px 4px; border-bottom: 1px solid #eee; }
#panel td.v { text-align: right; font-variant-numeric: tabular-nums; }
h2 { font-size: 14px; margin: 8px 0 2px; }
#trace { grid-column: 1 / 3; overflow: auto; font: 12px monospace; background: #f6f6f6;
         border-top: 1px solid #ccc; padding: 2px 8px; white-space: pre; }
#trace .rx { color: #555; }
#status.off { color: #ffb4b4; }
figure.plot { margin: 4px 0; }
figure.plot figcaption { font-size: 12px; color: #555; }
figure.plot canvas { width: 100%; }
</style>
</head>
<body>
<header>
<b>bricksim</b> <span id="status">connecting</span>
<button id="pause" type="button">Pause</button>
<button id="step" type="button" title="0.1 s of world time">Step</button>
<label>speed <select id="speed">
<option>0.25</option><option>0.5</option><option selected>1</option><option>2</option>
<option>5</option><option>10</option></select></label>
<label><input id="bytime" type="checkbox"> colour path by time</label>
<a id="save" href="/picture.svg" download="bricksim.svg" style="color:white">save picture</a>
</header>
<div id="map"></div>
<div id="panel">
<h2>Robot</h2>
<table>
<tr><td>world time</td><td class="v" id="t"></td></tr>
<tr><td>position (cm)</td><td class="v" id="pos"></td></tr>
<tr><td>heading</td><td class="v" id="heading"></td></tr>
<tr><td>bumper</td><td class="v" id="bumper"></td></tr>
<tr><td>ultrasonic</td><td class="v" id="sonar"></td></tr>
<tr><td>floor under the spot</td><td class="v" id="spot"></td></tr>
</table>
<h2>Sensors</h2>
<table id="sensors"></table>
<h2>Motors (power, count)</h2>
<table id="motors"></table>
<h2>Tones</h2>
<div id="tones">none</div>
<h2>Over time</h2>
<div id="plots"></div>
</div>
<div id="trace"></div>
<script src="/plot.js"></script>
<script>
"use strict";
const query = new URLSearchParams(location.search);
// ?frames=N: stop listening after N updates (for a browser that waits for a quiet page).
const most = Number(query.get("frames") || 0);
// A change carries the token this page was served with; bricksim refuses one without it.
const token = document.querySelector('meta[name="bricksim-token"]').content;
// ?press=ID&token=T: click that button once, at the first update (a headless browser's hand),
// only with this page's token, so that another site cannot link to a page that acts by itself.
const press = query.get("token") === token ? query.get("press") : null;
const byTime = document.getElementById("bytime");
byTime.checked = query.get("colour") === "time";
const $ = (id) => document.getElementById(id);
let box = null, loading = false, updates = 0, source = null, paused = false;
const ports = ["1", "2", "3", "4"], motors = ["A", "B", "C"];
const plots = {
  scaled: new TimePlot($("plots"), "sensors, scaled value", ports),
  raw: new TimePlot($("plots"), "sensors, raw value (0-1023)", ports),
  count: new TimePlot($("plots"), "motors, rotation count (degrees)", motors),
  power: new TimePlot($("plots"), "motors, power", motors),
};
plots.scaled.canvas.id = "plot-scaled";
plots.raw.canvas.id = "plot-raw";
plots.count.canvas.id = "plot-count";
plots.power.canvas.id = "plot-power";

function options() { return byTime.checked ? "?colour=time" : ""; }

async function loadPicture() {
  loading = true;
  try {
    const reply = await fetch("/picture.svg" + options());
    const text = await reply.text();
    $("map").innerHTML = text.replace(/^<\?xml[^>]*>\s*/, "");
    const svg = $("map").querySelector("svg");
    svg.removeAttribute("width");
    svg.removeAttribute("height");
    box = svg.getAttribute("viewBox");
  } finally {
    loading = false;
  }
}

function show(u) {
  const f = u.frame;
  if (u.box !== box) {
    if (!loading) loadPicture();
  } else {
    if (u.run !== undefined) $("run").innerHTML = u.run;
    $("robot").innerHTML = u.robot;
  }
  $("t").textContent = f.t.toFixed(2) + " s";
  $("pos").textContent = f.x.toFixed(1) + ", " + f.y.toFixed(1);
  $("heading").textContent = f.heading.toFixed(0) + "\u00b0";
  $("bumper").textContent = f.bumper ? "pressed" : "free";
  $("sonar").textContent = f.sonar < 0 ? "not fitted" : f.sonar >= 255 ? "no echo" : f.sonar + " cm";
  $("spot").textContent = f.spot;
  fillRows($("sensors"), f.sensor.map((s, i) => ["port " + (i + 1), s || "-"]));
  fillRows($("motors"), f.power.map((p, i) => ["ABC"[i], p + ", " + f.count[i] + "\u00b0"]));
  $("tones").textContent = f.tones ? f.tones + ", last " + f.tone : "none";
  for (const name of ["scaled", "raw", "count", "power"]) if (f[name]) plots[name].add(f.t, f[name]);
  paused = u.paused;
  $("pause").textContent = paused ? "Resume" : "Pause";
  $("speed").value = String(u.speed);
  $("status").textContent = (paused ? "paused" : "live") + ", " + u.events + (u.events === 1 ? " event" : " events");
  const trace = $("trace");
  const atEnd = trace.scrollTop + trace.clientHeight >= trace.scrollHeight - 4;
  for (const line of u.trace) {
    const div = document.createElement("div");
    div.className = line.startsWith("<") ? "rx" : "tx";
    div.textContent = line;
    trace.append(div);
  }
  while (trace.childElementCount > 500) trace.firstElementChild.remove();
  if (atEnd) trace.scrollTop = trace.scrollHeight;
  document.body.dataset.updates = ++updates;
  if (press && updates === 1) $(press).click();
  if (most && updates >= most) {
    source.close();
    document.body.dataset.done = "yes";
  }
}

function listen() {
  if (source) source.close();
  source = new EventSource("/events" + options());
  source.onmessage = (e) => show(JSON.parse(e.data));
  source.onerror = () => { $("status").textContent = "not connected"; $("status").className = "off"; };
  source.onopen = () => { $("status").className = ""; };
}

async function control(action, value) {
  const reply = await fetch("/control?action=" + action + "&value=" + value,
                            { method: "POST", headers: { "X-Bricksim-Token": token } });
  if (!reply.ok) $("status").textContent = "refused: " + (await reply.text()).trim();
}

$("pause").onclick = () => control(paused ? "resume" : "pause", 0);
$("step").onclick = () => control("step", 0.1);
$("speed").onchange = () => control("speed", $("speed").value);
byTime.onchange = () => { $("save").href = "/picture.svg" + options(); loadPicture(); listen(); };
$("save").href = "/picture.svg" + options();
loadPicture().then(listen);
</script>
</body>
</html>
)PAGE";
}

}  // namespace Sim
