// The script both local pages (bricksim's live page, `brick dashboard`) draw their time plots
// and fill their tables of readings with, served as /plot.js: plain canvas, nothing from the
// network.
//
//   const plot = new TimePlot(parent, "title", ["name", ...]);  // a figure appended to parent
//   plot.add(seconds, [value, ...]);  // one point per series, redrawn at once
//
//   fillRows(table, [[name, value], ...]);  // one row each, the value right-aligned
//
// A plot keeps the last 30 seconds; a time that goes back (a new run) starts it afresh. Its canvas
// carries data-points (how many points it holds) and data-last (the last values), for tests.
#ifndef WEB_PLOTSCRIPT_H
#define WEB_PLOTSCRIPT_H

namespace Web {

const char* plotScript();

}  // namespace Web

#endif
