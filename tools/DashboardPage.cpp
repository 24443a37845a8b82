// The dashboard's page: plain HTML, CSS and script in one piece, so that it works with no
// network. It asks for the readings a few times a second and draws them; its buttons send
// the motor commands with the token it was served with.
#include "DashboardServer.h"

namespace BrickTool {

const char* DashboardServer::page() {
  return R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="brick-token" content="@TOKEN@">
<title>brick dashboard</title>
<style>
body { font: 14px sans-serif; margin: 0; }
header { padding: 4px 8px; background: #1d3557; color: white; }
#status.off { color: #ffb4b4; }
main { display: grid; grid-template-columns: 22em 1fr; gap: 8px; padding: 8px; }
table { border-collapse: collapse; width: 100%; }
td { padding: 1px 4px; border-bottom: 1px solid #eee; }
td.v { text-align: right; font-variant-numeric: tabular-nums; }
h2 { font-size: 14px; margin: 8px 0 2px; }
#screen { width: 200px; height: 128px; border: 1px solid #999; background: #c8d4b8;
          display: flex; align-items: center; justify-content: center; text-align: center;
          font-size: 12px; color: #555; image-rendering: pixelated; }
#plots { display: grid; grid-template-columns: repeat(auto-fill, minmax(300px, 1fr)); gap: 4px; }
figure.plot { margin: 0; }
figure.plot figcaption { font-size: 12px; color: #555; }
figure.plot canvas { width: 100%; }
.motor button { min-width: 5em; }
</style>
</head>
<body>
<header><b>brick dashboard</b> <span id="name"></span> <span id="status">connecting</span></header>
<main>
<div>
<h2>Screen</h2>
<div id="screen">the brick's screen cannot be read</div>
<h2>Motors</h2>
<label>power <select id="power">
<option>25</option><option>50</option><option selected>75</option><option>100</option>
</select></label>
<table id="motors"></table>
<h2>Sensors</h2>
<table id="sensors"></table>
</div>
<div id="plots"></div>
</main>
<script src="/plot.js"></script>
<script>
"use strict";
const $ = (id) => document.getElementById(id);
// A change carries the token this page was served with; the dashboard refuses one without it.
const token = document.querySelector('meta[name="brick-token"]').content;
const ports = ["1", "2", "3", "4"], motors = ["A", "B", "C"];
const plots = {
  scaled: new TimePlot($("plots"), "sensors, scaled value", ports),
  raw: new TimePlot($("plots"), "sensors, raw value (0-1023)", ports),
  count: new TimePlot($("plots"), "motors, rotation count (degrees)", motors),
  power: new TimePlot($("plots"), "motors, power", motors),
};
for (const name in plots) plots[name].canvas.id = "plot-" + name;
let seen = -1, screenShown = 0;

async function motor(port, power) {
  try {
    const reply = await fetch("/motor?port=" + port + "&power=" + power,
                              { method: "POST", headers: { "X-Brick-Token": token } });
    $("status").textContent = reply.ok ? "motor " + port + ": power " + power
                                       : "refused: " + (await reply.text()).trim();
  } catch (e) {
    $("status").textContent = "not connected";
  }
}

for (const m of motors) {
  const tr = document.createElement("tr");
  tr.className = "motor";
  const name = document.createElement("td");
  name.textContent = m;
  tr.append(name);
  for (const [label, sign] of [["back", -1], ["stop", 0], ["forward", 1]]) {
    const td = document.createElement("td");
    const b = document.createElement("button");
    b.type = "button";
    b.id = m + "-" + label;
    b.textContent = label;
    b.onclick = () => motor(m, sign * Number($("power").value));
    td.append(b);
    tr.append(td);
  }
  const value = document.createElement("td");
  value.className = "v";
  value.id = "motor-" + m;
  tr.append(value);
  $("motors").append(tr);
}

function show(s) {
  $("name").textContent = s.name + (s.battery >= 0 ? ", " + s.battery + " mV" : "");
  $("status").className = s.failure ? "off" : "";
  if (s.failure) $("status").textContent = "reading failed: " + s.failure;
  else if ($("status").textContent === "connecting") $("status").textContent = "live";
  fillRows($("sensors"), s.inputs.map((v, i) => ["port " + ports[i] + (v.type ? " (type " + v.type + ")" : ""),
                                             v.scaled + " (raw " + v.raw + ")"]));
  s.outputs.forEach((o, i) => { $("motor-" + motors[i]).textContent = o.power + ", " + o.count + "\u00b0"; });
  if (s.n === seen) return;
  seen = s.n;
  plots.scaled.add(s.t, s.inputs.map((v) => v.scaled));
  plots.raw.add(s.t, s.inputs.map((v) => v.raw));
  plots.count.add(s.t, s.outputs.map((o) => o.count));
  plots.power.add(s.t, s.outputs.map((o) => o.power));
  if (s.screen && s.t - screenShown >= 1) {
    screenShown = s.t;
    const img = new Image(200, 128);
    img.alt = "the brick's screen";
    img.src = "/screen.png?t=" + s.t;
    img.onload = () => $("screen").replaceChildren(img);
  }
  document.body.dataset.updates = s.n;
}

async function poll() {
  try {
    const reply = await fetch("/state.json");
    if (reply.ok) show(await reply.json());
  } catch (e) {
    $("status").textContent = "not connected";
    $("status").className = "off";
  }
  setTimeout(poll, 200);
}
poll();
</script>
</body>
</html>
)PAGE";
}

}  // namespace BrickTool
