/*
 * Twinfold's Difficulty action for the Tiled map editor, beside the level
 * format (twinfold.js) and the other actions (twinfold-actions.js), whose
 * functions it uses: Map > Difficulty runs twinfold-difficulty --json on the
 * map as it stands, along the route last solved for it, else the .replay
 * beside its file, else a route the tool's solver finds.
 *
 * The measured route goes to the route layers (not saved): the hero's path,
 * and every key change as a point in a layer by its timing window, coloured
 * red (1 or 2 steps), orange (3 to 5) or green (6 or more), each with its
 * window, step and kind as properties. The expected deaths and the tightest
 * place go to the Issues list; activating that report selects the place.
 */

var difficultybands = [
  {name: "tight windows (1-2 steps, not saved)", color: "#e02020", most: 2},
  {name: "narrow windows (3-5 steps, not saved)", color: "#f09000", most: 5},
  {name: "wide windows (6+ steps, not saved)", color: "#20a020", most: Infinity},
];

// One route layer of these objects, in colour.
function difficultylayer(map, name, color, objects) {
  var layer = objectlayer(name, objects);
  layer.setProperty("twinfold route", true);
  layer.color = color;
  map.addLayer(layer);
}

// Draws the figures' path and key changes; the tightest change's object.
function drawdifficulty(map, figures, H) {
  removeroute(map);
  var path = (figures.path || []).filter(function(p) { return p.length > 1; }).map(function(p) {
    return routeobject("route", "", p.map(function(q) { return {x: q[0], y: q[1]}; }), H);
  });
  difficultylayer(map, routelayername, "#ff00ff", path);
  var tightest = null, bands = difficultybands.map(function() { return []; });
  (figures.changes || []).forEach(function(c) {
    var o = routeobject("key change", c.kind + " " + c.window, [{x: c.x, y: c.y}], H);
    o.setProperty("window (steps)", c.window);
    o.setProperty("step", c.step);
    var band = 0;
    while (c.window > difficultybands[band].most) band++;
    bands[band].push(o);
    var t = figures.tightest;
    if (t && c.step === t.step && c.kind === t.kind && c.x === t.x && c.y === t.y) tightest = o;
  });
  difficultybands.forEach(function(b, i) { difficultylayer(map, b.name, b.color, bands[i]); });
  return tightest;
}

function difficultyanswer(map, level, H, status, out, err) {
  if (!isopen(map)) return;
  if (status !== 0) {
    removeroute(map);
    return report("error", "Difficulty: " + (lines(err).pop() || "twinfold-difficulty ended with status " + status));
  }
  var figures;
  try {
    figures = JSON.parse(out);
  } catch (e) {
    return report("error", "Difficulty: twinfold-difficulty's answer is no JSON: " + e);
  }
  var tightest = drawdifficulty(map, figures, H), t = figures.tightest;
  var text = figures.level + ": expected deaths " + (figures.expected_deaths_floor ? "at least " : "") +
             figures.expected_deaths + " (" + figures.runs + " runs a stretch, " + figures.stretches.length +
             " stretches); par " + figures.par + " steps, measured route (" + figures.measured + ") " + figures.route_steps +
             (t ? "; tightest window " + figures.tightest_window + " steps: " + t.kind + " at step " + t.step +
                  ", hero at (" + t.x + ", " + t.y + ")" : "");
  report("warning", text, tightest ? shower(map, [tightest]) : undefined);
}

function difficulty() {
  var map = activemap("Difficulty");
  if (!map) return;
  if (running("difficulty")) return report("warning", "Difficulty: still measuring");
  var level = templevel(map, "difficulty");
  if (!level) return;
  var args = [level, "--json"];
  var beside = map.fileName ? map.fileName.replace(/\.[^.\/]*$/, "") + ".replay" : "";
  if (lastroute && lastroute.map === map) args.push("--replay", lastroute.replay);
  else if (beside && File.exists(beside)) args.push("--replay", beside);
  var H = levelheight(map);
  runbackground("difficulty", program("difficulty"), args, function(status, out, err) {
    difficultyanswer(map, level, H, status, out, err);
  });
}

tiled.registerAction("TwinfoldDifficulty", difficulty).text = "Difficulty";
tiled.extendMenu("Map", [{action: "TwinfoldDifficulty"}]);
