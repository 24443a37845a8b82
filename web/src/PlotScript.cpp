#include "web/PlotScript.h"

namespace Web {

const char* plotScript() {
  return R"SCRIPT("use strict";
// Fills a table with one row per [name, value], the value right-aligned (class "v").
function fillRows(table, cells) {
  table.replaceChildren(...cells.map(([name, value]) => {
    const tr = document.createElement("tr");
    const a = document.createElement("td");
    const b = document.createElement("td");
    a.textContent = name;
    b.textContent = value;
    b.className = "v";
    tr.append(a, b);
    return tr;
  }));
}

class TimePlot {
  constructor(parent, title, names, span) {
    this.names = names;
    this.span = span || 30;
    this.colours = ["#e63946", "#2a9d8f", "#457b9d", "#f4a261"];
    this.clear();
    const figure = document.createElement("figure");
    figure.className = "plot";
    const caption = document.createElement("figcaption");
    caption.textContent = title;
    this.canvas = document.createElement("canvas");
    this.canvas.width = 300;
    this.canvas.height = 110;
    this.canvas.dataset.points = "0";
    figure.append(caption, this.canvas);
    parent.append(figure);
  }
  clear() {
    this.times = [];
    this.series = this.names.map(() => []);
  }
  add(t, values) {
    if (this.times.length && t < this.times[this.times.length - 1]) this.clear();
    this.times.push(t);
    this.names.forEach((_, i) => this.series[i].push(Number(values[i]) || 0));
    // Whole seconds of history, not a count of points: the pace of updates varies.
    while (this.times.length > 2 && this.times[0] < t - this.span) {
      this.times.shift();
      this.series.forEach((s) => s.shift());
    }
    this.canvas.dataset.points = String(this.times.length);
    this.canvas.dataset.last = this.series.map((s) => s[s.length - 1]).join(" ");
    this.draw();
  }
  draw() {
    const c = this.canvas.getContext("2d");
    const w = this.canvas.width, h = this.canvas.height, left = 40, bottom = h - 14, top = 4;
    c.clearRect(0, 0, w, h);
    if (!this.times.length) return;
    let low = Infinity, high = -Infinity;
    for (const s of this.series) for (const v of s) { low = Math.min(low, v); high = Math.max(high, v); }
    if (high - low < 1) { high += 1; low -= 1; }
    const t1 = this.times[this.times.length - 1], t0 = Math.min(this.times[0], t1 - 1);
    const x = (t) => left + (w - left - 2) * (t - t0) / (t1 - t0);
    const y = (v) => bottom - (bottom - top) * (v - low) / (high - low);
    c.strokeStyle = "#bbb";
    c.strokeRect(left, top, w - left - 2, bottom - top);
    c.fillStyle = "#444";
    c.font = "10px sans-serif";
    c.textAlign = "right";
    c.fillText(String(Math.round(high)), left - 3, top + 8);
    c.fillText(String(Math.round(low)), left - 3, bottom);
    c.textAlign = "left";
    c.fillText(t0.toFixed(1) + " s", left, h - 2);
    c.textAlign = "right";
    c.fillText(t1.toFixed(1) + " s", w - 2, h - 2);
    this.series.forEach((s, i) => {
      c.strokeStyle = this.colours[i % this.colours.length];
      c.beginPath();
      s.forEach((v, k) => (k ? c.lineTo(x(this.times[k]), y(v)) : c.moveTo(x(this.times[k]), y(v))));
      c.stroke();
      c.fillStyle = c.strokeStyle;
      c.textAlign = "left";
      c.fillText(this.names[i] + " " + s[s.length - 1], left + 4 + i * 62, top + 10);
    });
  }
}
)SCRIPT";
}

}  // namespace Web
